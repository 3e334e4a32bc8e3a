#include "compute/ring_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

#include "compute/distance_transform.hpp"
#include "lib/huge_pages.hpp"

namespace {

// How far a pre-truncation position lies outside [-1, size]: the clearance,
// in whole pixels, from a sample outside the raster to any acceptance square.
int64_t outside_by(int64_t floor_position, int64_t size) {
    if (floor_position < -1) return -floor_position - 2;
    if (floor_position >= size) return floor_position - size;
    return 0;
}

}  // namespace

RingSearch::RingSearch(GridView<const unsigned char> tab, int32_t tono, int32_t raster_lines,
                       int32_t raster_columns, RasterRect place, int32_t threads, Distances distances,
                       const CornerRegion* region)
    : tables_(RingTables::shared()),
      tab_(tab),
      tono_(tono),
      raster_lines_(raster_lines),
      raster_columns_(raster_columns),
      place_(place) {
    if (tab.empty() || tono < 0 || tono > 255) return;
    const auto corners = (static_cast<std::size_t>(tab.lines()) + 1) * (static_cast<std::size_t>(tab.columns()) + 1);
    if (distances == Distances::measure) dist_.reset(new (std::nothrow) uint16_t[corners]);
    if (dist_) {
        prefer_huge_pages(dist_.get(), dist_.get() + corners);
        any_tone_ = tone_corner_distance_eighths(tab, tono, dist_.get(), threads, region);
        return;
    }
    // Without the distances every sample is examined, so only whether the
    // tone is present at all is worth knowing.
    any_tone_ = holds_tone(tab, tono);
}

bool RingSearch::is_tone(int64_t line, int64_t column) const {
    return static_cast<int32_t>(tab_[line][column]) == tono_;
}

int64_t RingSearch::square_clearance(int64_t line, int64_t column) const {
    return square_distance(dist_.get(), static_cast<std::size_t>(tab_.columns()) + 1, static_cast<std::size_t>(line),
                           static_cast<std::size_t>(column));
}

int32_t RingSearch::first_useful_ring(int32_t i, int32_t j) const {
    if (i >= 0 && i < raster_lines_ && j >= 0 && j < raster_columns_) {
        const int64_t line = int64_t{i} - place_.line;
        const int64_t column = int64_t{j} - place_.column;
        if (!dist_ || line < 0 || line >= tab_.lines() || column < 0 || column >= tab_.columns()) return 1;
        const auto width = static_cast<std::size_t>(tab_.columns()) + 1;
        const double d = dist_[static_cast<std::size_t>(line) * width + static_cast<std::size_t>(column)] / 8.0;
        return std::max(1, static_cast<int32_t>(std::ceil(d - 1e-6)));
    }
    // Every hit lies in [-1, nb_lig] x [-1, nb_col], so no ring shorter than
    // the centre's distance to that box reaches one (one ring of margin for
    // the rounding of the square root).
    const int64_t dr = outside_by(i, raster_lines_);
    const int64_t dc = outside_by(j, raster_columns_);
    const double d = std::sqrt(static_cast<double>(dr) * dr + static_cast<double>(dc) * dc);
    if (d > 2.0 * kLargestRing) return kLargestRing + 1;
    return std::max(1, static_cast<int32_t>(d) - 1);
}

RingHit RingSearch::miss(int32_t i, int32_t j) const {
    RingHit hit;
    tables_.exact_position(i, j, kLargestRing, RingTables::samples(kLargestRing) - 1, hit.m2, hit.n2);
    return hit;
}

RingHit RingSearch::find(int32_t i, int32_t j) const {
    if (!any_tone_) return miss(i, j);
    const int64_t lines = raster_lines_;
    const int64_t columns = raster_columns_;
    const int64_t top = place_.line;
    const int64_t left = place_.column;
    const int64_t bottom = top + tab_.lines();
    const int64_t right = left + tab_.columns();
    const auto in_window = [&](int64_t m2, int64_t n2) { return m2 >= top && m2 < bottom && n2 >= left && n2 < right; };
    for (int32_t r = first_useful_ring(i, j); r <= kLargestRing; ++r) {
        const SampleOffset* ring = tables_.ring(r);
        const uint32_t k2 = RingTables::samples(r);
        const int64_t per_eighth = tables_.samples_per_eighth(r);
        uint32_t m = 0;
        while (m < k2) {
            const SampleOffset offset = ring[m];
            if (offset.dr == kExactSample) {
                int32_t m2 = 0;
                int32_t n2 = 0;
                tables_.exact_position(i, j, r, m, m2, n2);
                if (m2 > -1 && m2 < lines && n2 > -1 && n2 < columns && in_window(m2, n2) &&
                    is_tone(m2 - top, n2 - left))
                    return {static_cast<double>(r), m2, n2};
                ++m;
                continue;
            }
            // floor of the exact position; -1 truncates to 0 (line or column 0).
            const int64_t row = int64_t{i} + offset.dr;
            const int64_t col = int64_t{j} + offset.dc;
            int64_t clearance = 0;  // eighths of a pixel
            if (row >= -1 && row < lines && col >= -1 && col < columns) {
                const int64_t m2 = std::max<int64_t>(row, 0);
                const int64_t n2 = std::max<int64_t>(col, 0);
                // Outside the window nothing is known and nothing is hit.
                if (in_window(m2, n2)) {
                    // A pixel of the tone has its corners at distance 0, so the
                    // grid is read only where the clearance is 0.
                    clearance = dist_ ? square_clearance(m2 - top, n2 - left) : 0;
                    if (clearance == 0 && is_tone(m2 - top, n2 - left))
                        return {static_cast<double>(r), static_cast<int32_t>(m2), static_cast<int32_t>(n2)};
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
