#include "tile_plan.hpp"

#include <algorithm>

namespace {

int32_t clip(int64_t wanted, int32_t size) { return static_cast<int32_t>(std::min<int64_t>(wanted, size)); }

// A grid of `rows` rows of `row_bytes` each, as nrutil makes it: a table of
// row pointers and one block per row. A block has a header and is rounded up
// by the allocator; a large one may be mapped on its own and rounded up to a page.
uint64_t grid_bytes(uint64_t rows, uint64_t row_bytes) {
    const uint64_t per_row = row_bytes + 32 + (row_bytes >= (uint64_t{128} << 10) ? 4096 : 0);
    return rows * (per_row + sizeof(void*));
}

// Rounds `count` items into `parts` nearly equal ones: the size of each.
int32_t even_share(int32_t count, int32_t size) {
    const int32_t parts = (count + size - 1) / size;
    return (count + parts - 1) / parts;
}

}  // namespace

TilePlan::TilePlan(int32_t raster_lines, int32_t raster_columns, int32_t core_lines, int32_t core_columns)
    : lines_(std::max(raster_lines, 0)),
      columns_(std::max(raster_columns, 0)),
      core_lines_(std::clamp(core_lines, 1, std::max(lines_, 1))),
      core_columns_(std::clamp(core_columns, 1, std::max(columns_, 1))) {
    if (lines_ > 0 && columns_ > 0) {
        rows_ = static_cast<int32_t>((int64_t{lines_} + core_lines_ - 1) / core_lines_);
        cols_ = static_cast<int32_t>((int64_t{columns_} + core_columns_ - 1) / core_columns_);
    }
}

Tile TilePlan::tile(int64_t k) const {
    const auto row = static_cast<int32_t>(k / cols_);
    const auto col = static_cast<int32_t>(k % cols_);
    Tile t;
    t.core.line = row * core_lines_;
    t.core.column = col * core_columns_;
    t.core.lines = std::min(core_lines_, lines_ - t.core.line);
    t.core.columns = std::min(core_columns_, columns_ - t.core.column);
    auto grow = [this](const RasterRect& r, int32_t reach) {
        RasterRect g;
        g.line = std::max(0, r.line - reach);
        g.column = std::max(0, r.column - reach);
        g.lines = clip(int64_t{r.line} + r.lines + reach, lines_) - g.line;
        g.columns = clip(int64_t{r.column} + r.columns + reach, columns_) - g.column;
        return g;
    };
    t.inputs = grow(t.core, kChannelReach);
    t.output = grow(t.core, kFillReach);
    return t;
}

uint64_t tile_bytes(int32_t raster_lines, int32_t raster_columns, int32_t core_lines, int32_t core_columns,
                    bool water_bodies, int32_t compute_threads) {
    const uint64_t wl = static_cast<uint64_t>(clip(int64_t{core_lines} + 2 * kChannelReach, raster_lines));
    const uint64_t wc = static_cast<uint64_t>(clip(int64_t{core_columns} + 2 * kChannelReach, raster_columns));
    const uint64_t ol = static_cast<uint64_t>(clip(int64_t{core_lines} + 2 * kFillReach, raster_lines));
    const uint64_t oc = static_cast<uint64_t>(clip(int64_t{core_columns} + 2 * kFillReach, raster_columns));
    const uint64_t masks = water_bodies ? 4 : 3;
    uint64_t bytes = grid_bytes(wl, 4 * wc);             // slope model
    bytes += (masks + 1) * grid_bytes(wl, wc);           // masks and the lower boundary
    bytes += 2 * 2 * (wl + 1) * (wc + 1);                // the two distance maps
    bytes += grid_bytes(ol, 8 * oc);                     // elevations
    bytes += 4 * static_cast<uint64_t>(core_columns);    // one rounded line of the core
    // Each computing thread's scratch lines of the distance maps, and the
    // blocks of pass-1 centres and their searches.
    bytes += 24 * (wc + 1) * static_cast<uint64_t>(std::max(compute_threads, 1));
    bytes += uint64_t{1} << 20;
    return bytes;
}

std::optional<TilePlan> plan_for_memory(int32_t raster_lines, int32_t raster_columns, bool water_bodies,
                                        uint64_t memory, int32_t tiles_at_once, int32_t compute_threads) {
    const int32_t lines = std::max(raster_lines, 1);
    const int32_t columns = std::max(raster_columns, 1);
    if (memory <= kResidentBase) return std::nullopt;
    const uint64_t per_tile = (memory - kResidentBase) / static_cast<uint64_t>(std::max(tiles_at_once, 1));
    auto fits = [&](int32_t cl, int32_t cc) {
        return tile_bytes(lines, columns, cl, cc, water_bodies, compute_threads) <= per_tile;
    };
    // The largest value in [low, high] for which fits_at holds, given that it
    // holds at `low` and stops holding somewhere above.
    auto largest = [](int32_t low, int32_t high, auto fits_at) {
        while (low < high) {
            const int32_t middle = low + (high - low + 1) / 2;
            if (fits_at(middle)) low = middle;
            else high = middle - 1;
        }
        return low;
    };
    if (!fits(1, 1)) return std::nullopt;
    const int32_t side = largest(1, std::max(lines, columns),
                                 [&](int32_t s) { return fits(std::min(s, lines), std::min(s, columns)); });
    int32_t cl = std::min(side, lines);
    int32_t cc = std::min(side, columns);
    // A raster narrower than the square in one direction: the other one takes what is left.
    if (cl == lines && cc < columns) cc = largest(cc, columns, [&](int32_t c) { return fits(cl, c); });
    if (cc == columns && cl < lines) cl = largest(cl, lines, [&](int32_t l) { return fits(l, cc); });
    return TilePlan(raster_lines, raster_columns, even_share(lines, cl), even_share(columns, cc));
}

uint64_t least_memory(int32_t raster_lines, int32_t raster_columns, bool water_bodies, int32_t tiles_at_once,
                      int32_t compute_threads) {
    return kResidentBase + static_cast<uint64_t>(std::max(tiles_at_once, 1)) *
                               tile_bytes(std::max(raster_lines, 1), std::max(raster_columns, 1), 1, 1,
                                          water_bodies, compute_threads);
}
