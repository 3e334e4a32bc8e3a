#include "ring_search.hpp"

int32_t truncate_position(long double position) {
    // Beyond these bounds the position lies outside every raster anyway.
    if (position >= 2147483647.0L) return std::numeric_limits<int32_t>::max();
    if (position <= -2147483648.0L) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(position);
}
