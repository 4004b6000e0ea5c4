#pragma once
// The scale of a GDI mapping mode: how many device units one logical unit spans.

#include "Units.h"
#include "gdi/DrawingContext.h"

#include <algorithm>
#include <cmath>

namespace quillon {

struct MappingScale {
    double x = 1.0;
    double y = 1.0;
};

// unitX, unitY: the size of one device unit in 0.01 mm. The fixed metric modes have y growing
// upwards; the isotropic mode keeps the same physical scale on both axes (the smaller one), each
// axis keeping its direction. The caller keeps the extents non-zero.
inline MappingScale mappingScale(int mode, Size windowExt, Size viewportExt, double unitX, double unitY)
{
    MappingScale k;
    auto metric = [&](double hundredthsOfMm) {
        k.x = hundredthsOfMm / unitX;
        k.y = -hundredthsOfMm / unitY;
    };
    switch (mode) {
    case kMmLoMetric:
        metric(10.0);
        break;
    case kMmHiMetric:
        metric(1.0);
        break;
    case kMmLoEnglish:
        metric(25.4);
        break;
    case kMmHiEnglish:
        metric(2.54);
        break;
    case kMmTwips:
        metric(double(kUnitsPerInch) / double(kTwipsPerInch));
        break;
    case kMmIsotropic:
    case kMmAnisotropic:
        k.x = double(viewportExt.cx) / double(windowExt.cx);
        k.y = double(viewportExt.cy) / double(windowExt.cy);
        if (mode == kMmIsotropic) {
            const double common = std::min(std::abs(k.x * unitX), std::abs(k.y * unitY));
            k.x = std::copysign(common / unitX, k.x);
            k.y = std::copysign(common / unitY, k.y);
        }
        break;
    default:
        break;
    }
    return k;
}

} // namespace quillon
