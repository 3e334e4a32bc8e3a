#include "files/rounding.hpp"

#include <algorithm>

namespace {

// round_elevation for 0 <= value < 2^31 - 1, without the extended-precision
// conversion, whose change of the floating-point control word costs more than
// the rest of the writer's loop. The whole part k is exact, and so is the
// fraction value - k (k lies within a factor 2 of value, or is 0); the exact
// sum value + 0.5 truncates to k + 1 when the fraction is at least 0.5 and to
// k otherwise, and stays below 2^31 - 0.5, so nothing saturates.
bool usual(double value) { return (value >= 0.0) & (value < 2147483647.0); }

// One line of elevations rounded into `out`, its extremes kept in min and max.
// The loops are plain enough for the compiler to do several pixels at a time;
// only lines that hold a negative, huge or missing elevation take a second
// look at those pixels.
void round_line(const double* elevations, int32_t* out, int32_t count, int32_t& min, int32_t& max) {
    int32_t unusual = 0;
    for (int32_t j = 0; j < count; ++j) {
        const bool ok = usual(elevations[j]);
        const double value = ok ? elevations[j] : 0.0;
        const auto whole = static_cast<int32_t>(value);
        out[j] = whole + (value - static_cast<double>(whole) >= 0.5 ? 1 : 0);
        unusual += ok ? 0 : 1;
    }
    if (unusual > 0) {
        for (int32_t j = 0; j < count; ++j)
            if (!usual(elevations[j])) out[j] = round_elevation(elevations[j]);
    }
    int32_t low = min;
    int32_t high = max;
    for (int32_t j = 0; j < count; ++j) {
        low = out[j] < low ? out[j] : low;
        high = out[j] > high ? out[j] : high;
    }
    min = low;
    max = high;
}

}  // namespace

void round_result_line(const Elevations::Span& span, int32_t first, int32_t count, int32_t* out, int32_t& min,
                       int32_t& max) {
    // The held columns among the wanted ones; every other pixel is 0.0, which rounds to 0.
    const int32_t begin = std::clamp(span.first, first, first + count);
    const int32_t end = std::clamp(span.first + span.count, first, first + count);
    std::fill(out, out + (begin - first), 0);
    std::fill(out + (end - first), out + count, 0);
    if (begin > first || end < first + count) {
        min = std::min(min, 0);
        max = std::max(max, 0);
    }
    if (end > begin) round_line(span.values + (begin - span.first), out + (begin - first), end - begin, min, max);
}
