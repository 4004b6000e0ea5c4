#pragma once
// Report units (0.01 mm, 2540 per inch) and the one rounding rule of the program: to the nearest
// integer, halves to the even neighbour, of a value computed in extended precision.

#include <cfenv>
#include <cmath>
#include <cstdint>

namespace quillon {

constexpr int32_t kUnitsPerInch = 2540;

// Round half to even (the FPU's default rounding mode) of an extended-precision value.
inline int32_t roundUnits(long double v)
{
    return int32_t(std::lrintl(v));
}

// Points (1/72 inch) to report units: round(points × 2540 / 72).
inline int32_t PointsToUnits(int32_t points)
{
    return roundUnits((long double)points * 2540.0L / 72.0L);
}

} // namespace quillon
