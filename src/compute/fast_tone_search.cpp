#include "fast_tone_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

#include "distance_transform.hpp"

namespace {

// How far a pre-truncation position lies outside [-1, size]: the clearance,
// in whole pixels, from a sample outside the raster to any acceptance square.
int64_t outside_by(int64_t floor_position, int64_t size) {
    if (floor_position < -1) return -floor_position - 2;
    if (floor_position >= size) return floor_position - size;
    return 0;
}

}  // namespace

FastToneSearch::FastToneSearch(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono)
    : FastToneSearch(tab, nb_lig, nb_col, tono, Distances::measure) {}

FastToneSearch::FastToneSearch(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono,
                               Distances distances)
    : tables_(ring_tables()), tab_(tab), nb_lig_(nb_lig), nb_col_(nb_col), tono_(tono) {
    if (tab == nullptr || nb_lig <= 0 || nb_col <= 0 || tono < 0 || tono > 255) return;
    if (distances == Distances::measure)
        dist_.reset(new (std::nothrow)
                        uint16_t[(static_cast<std::size_t>(nb_lig) + 1) * (static_cast<std::size_t>(nb_col) + 1)]);
    if (dist_) {
        any_tone_ = tone_corner_distance_eighths(tab, nb_lig, nb_col, tono, dist_.get());
        return;
    }
    // Without the distances every sample is examined, so only whether the
    // tone is present at all is worth knowing.
    for (int32_t i = 0; i < nb_lig && !any_tone_; ++i)
        for (int32_t j = 0; j < nb_col; ++j)
            if (static_cast<int32_t>(tab[i][j]) == tono) {
                any_tone_ = true;
                break;
            }
}

bool FastToneSearch::is_tone(int64_t row, int64_t col) const {
    return static_cast<int32_t>(tab_[row][col]) == tono_;
}

int64_t FastToneSearch::square_clearance(int64_t row, int64_t col) const {
    const uint16_t* upper = dist_.get() + static_cast<std::size_t>(row * (nb_col_ + 1) + col);
    const uint16_t* lower = upper + nb_col_ + 1;
    return std::min(std::min(upper[0], upper[1]), std::min(lower[0], lower[1]));
}

int32_t FastToneSearch::first_useful_ring(int32_t i, int32_t j) const {
    if (i >= 0 && i < nb_lig_ && j >= 0 && j < nb_col_) {
        if (!dist_) return 1;
        const double d = dist_[static_cast<std::size_t>(int64_t{i} * (nb_col_ + 1) + j)] / 8.0;
        return std::max(1, static_cast<int32_t>(std::ceil(d - 1e-6)));
    }
    // Every hit lies in [-1, nb_lig] x [-1, nb_col], so no ring shorter than
    // the centre's distance to that box reaches one (one ring of margin for
    // the rounding of the square root).
    const int64_t dr = outside_by(i, nb_lig_);
    const int64_t dc = outside_by(j, nb_col_);
    const double d = std::sqrt(static_cast<double>(dr) * dr + static_cast<double>(dc) * dc);
    if (d > 2.0 * kLargestRing) return kLargestRing + 1;
    return std::max(1, static_cast<int32_t>(d) - 1);
}

RingHit FastToneSearch::miss(int32_t i, int32_t j) const {
    RingHit hit;
    const uint32_t last = tables_.first[kLargestRing + 1] - tables_.first[kLargestRing] - 1;
    exact_sample_position(tables_, i, j, kLargestRing, last, hit.m2, hit.n2);
    return hit;
}

RingHit FastToneSearch::find(int32_t i, int32_t j) const {
    if (!any_tone_) return miss(i, j);
    const int64_t lines = nb_lig_;
    const int64_t columns = nb_col_;
    for (int32_t r = first_useful_ring(i, j); r <= kLargestRing; ++r) {
        const SampleOffset* ring = tables_.offsets.data() + tables_.first[static_cast<std::size_t>(r)];
        const uint32_t k2 = tables_.first[static_cast<std::size_t>(r) + 1] - tables_.first[static_cast<std::size_t>(r)];
        const int64_t per_eighth = tables_.samples_per_eighth[static_cast<std::size_t>(r)];
        uint32_t m = 0;
        while (m < k2) {
            const SampleOffset offset = ring[m];
            if (offset.dr == kExactSample) {
                int32_t m2 = 0;
                int32_t n2 = 0;
                exact_sample_position(tables_, i, j, r, m, m2, n2);
                if (m2 > -1 && m2 < nb_lig_ && n2 > -1 && n2 < nb_col_ && is_tone(m2, n2)) {
                    RingHit hit;
                    hit.dist = r;
                    hit.m2 = m2;
                    hit.n2 = n2;
                    return hit;
                }
                ++m;
                continue;
            }
            // floor of the exact position; -1 truncates to 0 (line or column 0).
            const int64_t row = int64_t{i} + offset.dr;
            const int64_t col = int64_t{j} + offset.dc;
            int64_t clearance;  // eighths of a pixel
            if (row >= -1 && row < lines && col >= -1 && col < columns) {
                const int64_t m2 = std::max<int64_t>(row, 0);
                const int64_t n2 = std::max<int64_t>(col, 0);
                // A pixel of the tone has its corners at distance 0, so the
                // grid is read only where the clearance is 0.
                clearance = dist_ ? square_clearance(m2, n2) : 0;
                if (clearance == 0 && is_tone(m2, n2)) {
                    RingHit hit;
                    hit.dist = r;
                    hit.m2 = static_cast<int32_t>(m2);
                    hit.n2 = static_cast<int32_t>(n2);
                    return hit;
                }
            } else {
                clearance = 8 * std::max(outside_by(row, lines), outside_by(col, columns));
            }
            // Samples nearer than the clearance along the chord cannot hit, nor
            // can the samples on the same pixel as this one.
            const int64_t skip = clearance > 1 ? ((clearance - 1) * per_eighth) >> 16 : 0;
            m += skip >= k2 ? k2 : std::max<uint32_t>(offset.same + 1u, static_cast<uint32_t>(skip));
        }
    }
    return miss(i, j);
}
