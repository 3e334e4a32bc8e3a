// Computed elevations to the integers of the result raster.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// value + 0.5 formed in extended precision (so the largest double below 0.5
// still gives 0) and truncated toward zero: halves round up above -0.5, and
// values below -0.5 move toward zero. Elevations beyond the signed 32-bit range
// saturate to its nearest end; a NaN, which carries no elevation, gives 0.
inline int32_t round_elevation(double value) {
    const long double sum = static_cast<long double>(value) + 0.5L;
    if (std::isnan(sum)) return 0;
    if (sum >= 2147483648.0L) return std::numeric_limits<int32_t>::max();
    if (sum <= -2147483649.0L) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(sum);
}
