// Computed elevations to the integers of the result raster.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "compute/elevations.hpp"

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

// A result's extremes start at one million and 0, not at the ends of the
// integer range, and take a pixel in only when it is strictly beyond them, as
// every earlier result of the tool did: a raster of small elevations keeps
// 1000000 as its minimum in the descriptor.
inline constexpr int32_t kResultMinimumStart = 1000000;
inline constexpr int32_t kResultMaximumStart = 0;

// Pixels first .. first + count - 1 of a result line whose elevations are held
// on `span` (0.0 at every other column), rounded as round_elevation rounds them
// into out[0 .. count - 1]; min and max take in the extremes of those pixels.
void round_result_line(const Elevations::Span& span, int32_t first, int32_t count, int32_t* out, int32_t& min,
                       int32_t& max);
