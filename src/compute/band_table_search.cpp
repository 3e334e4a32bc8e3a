#include "band_table_search.hpp"

#include <array>
#include <cmath>
#include <vector>

namespace {

// The sines and cosines of the angles of one band, in the order they are walked.
struct BandTable {
    std::vector<double> sinus;
    std::vector<double> cosin;
};

BandTable make_band(int32_t k2, double fk2) {
    // Held in doubles, as the walk has always held them, so the products below
    // round exactly as they do there.
    const double pi = 4.0 * std::atan(1.0);
    const double papi = pi * (1.0 / 180.0);
    BandTable band;
    band.sinus.resize(static_cast<std::size_t>(k2));
    band.cosin.resize(static_cast<std::size_t>(k2));
    double fk = 0.0;
    for (int32_t m = 0; m < k2; ++m) {
        band.sinus[static_cast<std::size_t>(m)] = std::sin(fk * papi);
        band.cosin[static_cast<std::size_t>(m)] = std::cos(fk * papi);
        fk += fk2;
    }
    return band;
}

// The four bands, made once for the whole process: 360 samples of 1 degree up
// to radius 33, 720 of 0.5 up to 64, 1440 of 0.25 up to 107, 2880 of 0.125 beyond.
const std::array<BandTable, 4>& band_tables() {
    static const std::array<BandTable, 4> tables = {make_band(360, 1.0), make_band(720, 0.5),
                                                    make_band(1440, 0.25), make_band(2880, 0.125)};
    return tables;
}

const BandTable& band_of(int32_t radius) {
    const auto& tables = band_tables();
    if (radius > 107) return tables[3];
    if (radius > 64) return tables[2];
    if (radius > 33) return tables[1];
    return tables[0];
}

}  // namespace

BandTableSearch::BandTableSearch(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono)
    : tab_(tab), nb_lig_(nb_lig), nb_col_(nb_col), tono_(tono) {
    band_tables();  // made here rather than inside the first search
}

RingHit BandTableSearch::find(int32_t i, int32_t j) const {
    const long double line = static_cast<long double>(i);
    const long double column = static_cast<long double>(j);
    RingHit hit;
    for (int32_t radius = 1; radius <= kLargestRing; ++radius) {
        const double dist = radius;
        const long double reach = static_cast<long double>(dist);
        const BandTable& band = band_of(radius);
        const std::size_t k2 = band.sinus.size();
        for (std::size_t m = 0; m < k2; ++m) {
            // Formed and truncated in extended precision, with no rounding to
            // double in between: the excess of a sine or cosine just past a
            // whole value is what moves a few samples across a pixel border.
            hit.m2 = truncate_position(line - reach * static_cast<long double>(band.sinus[m]));
            hit.n2 = truncate_position(column + reach * static_cast<long double>(band.cosin[m]));
            if (hit.m2 > -1 && hit.m2 < nb_lig_ && hit.n2 > -1 && hit.n2 < nb_col_ &&
                static_cast<int32_t>(tab_[hit.m2][hit.n2]) == tono_) {
                hit.dist = dist;
                return hit;
            }
        }
    }
    return hit;
}
