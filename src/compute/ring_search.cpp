#include "compute/ring_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "compute/distance_transform.hpp"

namespace {

// How far a pre-truncation position lies outside [-1, size]: the clearance,
// in whole pixels, from a sample outside the raster to any acceptance square.
int64_t outside_by(int64_t floor_position, int64_t size) {
    if (floor_position < -1) return -floor_position - 2;
    if (floor_position >= size) return floor_position - size;
    return 0;
}

}  // namespace

RingSearch::RingSearch(const ToneGrids& target, int32_t raster_lines, int32_t raster_columns, RasterRect place,
                       int32_t threads, Distances distances, const CornerRegion* region)
    : tables_(RingTables::shared()),
      target_(target),
      lines_(target.lines()),
      columns_(target.columns()),
      raster_lines_(raster_lines),
      raster_columns_(raster_columns),
      place_(place) {
    if (target.empty()) return;
    const auto corner_lines = static_cast<std::size_t>(lines_) + 1;
    const auto width = static_cast<std::size_t>(columns_) + 1;
    // A map measured whole, or nearly, is read all over by the searches: it is
    // held by lines, in huge pages that spare the searches most of their
    // address translations. One measured around a river is held in tiles
    // (corner_map.hpp), and a huge page would take 2 MiB for every few corners
    // written.
    std::size_t asked = corner_lines * width;
    if (region) {
        asked = 0;
        for (std::size_t i = 0; i < region->from.size(); ++i)
            asked += static_cast<std::size_t>(std::max(0, region->to[i] - region->from[i]));
    }
    const bool whole = asked * 2 >= corner_lines * width;
    if (distances == Distances::measure)
        map_ = CornerMap::make(lines_ + 1, columns_ + 1, whole ? CornerMap::Layout::lines : CornerMap::Layout::tiles);
    if (map_.made()) {
        if (whole) map_.prefer_huge_pages();
        any_tone_ = tone_corner_distance_eighths(target, map_, threads, region);
        return;
    }
    // Without the distances every sample is examined, so only whether the
    // tone is present at all is worth knowing.
    any_tone_ = holds_tone(target);
}

bool RingSearch::is_tone(int64_t line, int64_t column) const { return target_.marks(line, column); }

int64_t RingSearch::square_clearance(int64_t line, int64_t column) const { return map_.square(line, column); }

int32_t RingSearch::first_useful_ring(int32_t i, int32_t j) const {
    if (i >= 0 && i < raster_lines_ && j >= 0 && j < raster_columns_) {
        const int64_t line = int64_t{i} - place_.line;
        const int64_t column = int64_t{j} - place_.column;
        if (!map_.made() || line < 0 || line >= lines_ || column < 0 || column >= columns_) return 1;
        const double d = map_.at(line, column) / 8.0;
        return std::max(1, static_cast<int32_t>(std::ceil(d - 1e-6)));
    }
    // Every hit lies in [-1, nb_lig] x [-1, nb_col], so no ring shorter than
    // the centre's distance to that box reaches one (one ring of margin for
    // the rounding of the square root).
    const int64_t dr = outside_by(i, raster_lines_);
    const int64_t dc = outside_by(j, raster_columns_);
    const auto row_gap = static_cast<double>(dr);
    const auto column_gap = static_cast<double>(dc);
    const double d = std::sqrt(row_gap * row_gap + column_gap * column_gap);
    if (d > 2.0 * kLargestRing) return kLargestRing + 1;
    return std::max(1, static_cast<int32_t>(d) - 1);
}

RingHit RingSearch::miss(int32_t i, int32_t j) const {
    RingHit hit;
    tables_.exact_position(i, j, kLargestRing, RingTables::samples(kLargestRing) - 1, hit.line, hit.column);
    return hit;
}

RingHit RingSearch::find(int32_t i, int32_t j) const {
    if (!any_tone_) return miss(i, j);
    const int64_t lines = raster_lines_;
    const int64_t columns = raster_columns_;
    const int64_t top = place_.line;
    const int64_t left = place_.column;
    const int64_t bottom = top + lines_;
    const int64_t right = left + columns_;
    const auto in_window = [&](int64_t line, int64_t column) {
        return line >= top && line < bottom && column >= left && column < right;
    };
    for (int32_t r = first_useful_ring(i, j); r <= kLargestRing; ++r) {
        const SampleOffset* ring = tables_.ring(r);
        const uint32_t k2 = RingTables::samples(r);
        const int64_t per_eighth = tables_.samples_per_eighth(r);
        uint32_t m = 0;
        while (m < k2) {
            const SampleOffset offset = ring[m];
            if (offset.dr == kExactSample) {
                int32_t line = 0;
                int32_t column = 0;
                tables_.exact_position(i, j, r, m, line, column);
                if (line > -1 && line < lines && column > -1 && column < columns && in_window(line, column) &&
                    is_tone(line - top, column - left))
                    return {static_cast<double>(r), line, column};
                ++m;
                continue;
            }
            // floor of the exact position; -1 truncates to 0 (line or column 0).
            const int64_t row = int64_t{i} + offset.dr;
            const int64_t col = int64_t{j} + offset.dc;
            int64_t clearance = 0;  // eighths of a pixel
            if (row >= -1 && row < lines && col >= -1 && col < columns) {
                const int64_t line = std::max<int64_t>(row, 0);
                const int64_t column = std::max<int64_t>(col, 0);
                // Outside the window nothing is known and nothing is hit.
                if (in_window(line, column)) {
                    // A pixel of the tone has its corners at distance 0, so the
                    // grid is read only where the clearance is 0.
                    clearance = map_.made() ? square_clearance(line - top, column - left) : 0;
                    if (clearance == 0 && is_tone(line - top, column - left))
                        return {static_cast<double>(r), static_cast<int32_t>(line), static_cast<int32_t>(column)};
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
