#pragma once
// Report units (0.01 mm, 2540 per inch) and the one rounding rule of the program: to the nearest
// integer, halves to the even neighbour, of a value computed in extended precision.

#include <cfenv>
#include <cmath>
#include <cstdint>

namespace quillon {

// Report units: 0.01 mm.
constexpr int32_t kUnitsPerInch = 2540;
constexpr int32_t kUnitsPerMillimetre = 100;
constexpr int32_t kPointsPerInch = 72;
constexpr int32_t kTwipsPerInch = 1440;
// The same in extended precision, for the computations that are rounded to units.
constexpr long double kUnitsPerInchL = kUnitsPerInch;
constexpr long double kPointsPerInchL = kPointsPerInch;

// Round half to even (the FPU's default rounding mode) of an extended-precision value.
inline int32_t roundUnits(long double v)
{
    return int32_t(std::lrintl(v));
}

// Points (1/72 inch) to report units: round(points × units per inch / points per inch).
inline int32_t PointsToUnits(int32_t points)
{
    return roundUnits((long double)points * kUnitsPerInchL / kPointsPerInchL);
}

// Device pixels at dpi to report units.
inline int32_t PixelsToUnits(int32_t pixels, int32_t dpi)
{
    return roundUnits((long double)pixels / (long double)dpi * kUnitsPerInchL);
}

} // namespace quillon
