#include "compute/elevation_rules.hpp"

#include <algorithm>
#include <limits>

double distance_interpolation(double A1, double A2, double D1, double D2) {
    const long double rise = static_cast<long double>(A1) - static_cast<long double>(A2);
    const long double span = static_cast<long double>(D1) + static_cast<long double>(D2);
    const long double result = rise / span * static_cast<long double>(D2) + static_cast<long double>(A2);
    return static_cast<double>(result);
}

double railing_base(int32_t slope_elevation, int32_t alti_bar) {
    const int64_t difference = static_cast<int64_t>(slope_elevation) - static_cast<int64_t>(alti_bar);
    const int64_t held = std::clamp<int64_t>(difference, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max());
    return static_cast<double>(static_cast<int32_t>(held));
}

double neighbour_mean(double tot_alti, int32_t ico) {
    return static_cast<double>(static_cast<long double>(tot_alti) / static_cast<long double>(ico));
}
