#include "gis/free_value.hpp"

#include <algorithm>
#include <cmath>

namespace {

bool usable(const std::vector<double>& held, double value, double low, double high) {
    return value >= low && value <= high && !std::binary_search(held.begin(), held.end(), value);
}

}  // namespace

double free_value(std::vector<double> held, double preferred, double low, double high) {
    std::sort(held.begin(), held.end());
    held.erase(std::unique(held.begin(), held.end()), held.end());
    if (held.empty() || usable(held, preferred, low, high)) return preferred;
    for (const double candidate : {std::floor(held.front()) - 1.0, std::ceil(held.back()) + 1.0})
        if (usable(held, candidate, low, high)) return candidate;
    double candidate = std::ceil(low);
    for (const double value : held) {
        if (value > candidate) break;
        if (value == candidate) candidate += 1.0;
    }
    return candidate;
}
