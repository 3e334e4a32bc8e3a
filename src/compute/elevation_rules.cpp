#include "compute/elevation_rules.hpp"

#include <algorithm>
#include <limits>

double distance_interpolation(double contour_altitude, double base, double to_contour, double to_base) {
    const long double rise = static_cast<long double>(contour_altitude) - static_cast<long double>(base);
    const long double span = static_cast<long double>(to_contour) + static_cast<long double>(to_base);
    const long double result = rise / span * static_cast<long double>(to_base) + static_cast<long double>(base);
    return static_cast<double>(result);
}

double railing_base(int32_t slope_elevation, int32_t railing_height) {
    const int64_t difference = static_cast<int64_t>(slope_elevation) - static_cast<int64_t>(railing_height);
    const int64_t held = std::clamp<int64_t>(difference, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max());
    return static_cast<double>(static_cast<int32_t>(held));
}

double neighbour_mean(double sum, int32_t count) {
    return static_cast<double>(static_cast<long double>(sum) / static_cast<long double>(count));
}
