#include "tests/reference/literal_circle.hpp"

#include <cmath>

RingHit literal_circle(int32_t i, int32_t j, unsigned char* const* tab, int32_t tono, int32_t nb_lig,
                       int32_t nb_col) {
    const double pi = 4.0 * std::atan(1.0);
    const double papi = pi * (1.0 / 180.0);
    RingHit hit;
    for (int32_t radius = 1; radius <= kLargestRing; ++radius) {
        const double dist = radius;
        int32_t k2 = 360;
        double fk2 = 1.0;
        if (radius > 33) {
            k2 = 720;
            fk2 = 0.5;
        }
        if (radius > 64) {
            k2 = 1440;
            fk2 = 0.25;
        }
        if (radius > 107) {
            k2 = 2880;
            fk2 = 0.125;
        }
        double fk = 0.0;
        for (int32_t m = 0; m < k2; ++m) {
            const double sinus = std::sin(fk * papi);
            const double cosin = std::cos(fk * papi);
            const int32_t m2 = truncate_position(static_cast<long double>(i) -
                                                 static_cast<long double>(dist) * static_cast<long double>(sinus));
            const int32_t n2 = truncate_position(static_cast<long double>(j) +
                                                 static_cast<long double>(dist) * static_cast<long double>(cosin));
            hit.line = m2;
            hit.column = n2;
            if (m2 > -1 && m2 < nb_lig && n2 > -1 && n2 < nb_col && static_cast<int32_t>(tab[m2][n2]) == tono) {
                hit.distance = dist;
                return hit;
            }
            fk += fk2;
        }
    }
    return hit;
}
