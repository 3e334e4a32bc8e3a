#include "windows/tile_plan.hpp"

#include <algorithm>

#include "compute/ring_tables.hpp"

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

namespace {

RasterRect grown(const RasterRect& r, int32_t reach, int32_t lines, int32_t columns) {
    RasterRect g;
    g.line = std::max(0, r.line - reach);
    g.column = std::max(0, r.column - reach);
    g.lines = clip(int64_t{r.line} + r.lines + reach, lines) - g.line;
    g.columns = clip(int64_t{r.column} + r.columns + reach, columns) - g.column;
    return g;
}

RasterRect core_of(int64_t k, int32_t cols, int32_t core_lines, int32_t core_columns, int32_t lines,
                   int32_t columns) {
    RasterRect core;
    core.line = static_cast<int32_t>(k / cols) * core_lines;
    core.column = static_cast<int32_t>(k % cols) * core_columns;
    core.lines = std::min(core_lines, lines - core.line);
    core.columns = std::min(core_columns, columns - core.column);
    return core;
}

}  // namespace

Tile TilePlan::tile_of(const RasterRect& core, int32_t halo) const {
    Tile t;
    t.core = core;
    t.output = grown(core, kFillReach, lines_, columns_);
    t.inputs = halo > 0 ? grown(core, halo + kFillReach, lines_, columns_) : t.output;
    return t;
}

Tile TilePlan::tile(int64_t k) const {
    return tile_of(core_of(k, cols_, core_lines_, core_columns_, lines_, columns_), kLargestRing);
}

Tile TilePlan::tile(int64_t k, const ReachMap& reaches) const {
    const RasterRect core = core_of(k, cols_, core_lines_, core_columns_, lines_, columns_);
    return tile_of(core, reaches.reach(grown(core, kFillReach, lines_, columns_)));
}

namespace {

// The largest window that cores of `core` pixels tiling `size` pixels get when
// grown by `reach` and clipped: the exact one for a few cores, otherwise the
// bound that holds for any.
int32_t largest_window(int32_t size, int32_t core, int32_t reach) {
    const int64_t bound = std::min<int64_t>(size, int64_t{core} + 2 * int64_t{reach});
    const int64_t cores = (int64_t{size} + core - 1) / core;
    if (cores > 64) return static_cast<int32_t>(bound);
    int64_t largest = 0;
    for (int64_t k = 0; k < cores; ++k) {
        const int64_t first = std::max<int64_t>(0, k * core - reach);
        const int64_t end = std::min<int64_t>(size, std::min<int64_t>(size, (k + 1) * core) + reach);
        largest = std::max(largest, end - first);
    }
    return static_cast<int32_t>(largest);
}

// The sum, over the rows (or columns) of tiles, of their input windows' lines
// (or columns): the distance maps' work grows with it.
int64_t window_sum(int32_t size, int32_t core) {
    int64_t sum = 0;
    for (int64_t first = 0; first < size; first += core)
        sum += std::min<int64_t>(size, std::min<int64_t>(size, first + core) + kChannelReach) -
               std::max<int64_t>(0, first - kChannelReach);
    return sum;
}

}  // namespace

uint64_t tile_bytes(const Tile& tile, bool water_bodies, int32_t compute_threads) {
    const auto wl = static_cast<uint64_t>(tile.inputs.lines);
    const auto wc = static_cast<uint64_t>(tile.inputs.columns);
    const uint64_t masks = water_bodies ? 4 : 3;
    uint64_t bytes = grid_bytes(wl, 4 * wc);    // slope model
    bytes += (masks + 1) * grid_bytes(wl, wc);  // masks and the lower boundary
    bytes += 2 * 2 * (wl + 1) * (wc + 1);       // the two distance maps
    bytes += grid_bytes(static_cast<uint64_t>(tile.output.lines), 8 * static_cast<uint64_t>(tile.output.columns));
    // The rounded core and its channel flags, for the sink.
    bytes += 5 * static_cast<uint64_t>(tile.core.lines) * static_cast<uint64_t>(tile.core.columns);
    // Each computing thread's scratch lines of the distance maps, and the
    // blocks of pass-1 centres and their searches.
    bytes += 24 * (wc + 1) * static_cast<uint64_t>(std::max(compute_threads, 1));
    bytes += uint64_t{1} << 20;
    return bytes;
}

uint64_t tile_bytes(int32_t raster_lines, int32_t raster_columns, int32_t core_lines, int32_t core_columns,
                    bool water_bodies, int32_t compute_threads) {
    const int32_t lines = std::max(raster_lines, 1);
    const int32_t columns = std::max(raster_columns, 1);
    const int32_t cl = std::clamp(core_lines, 1, lines);
    const int32_t cc = std::clamp(core_columns, 1, columns);
    // The largest windows and a whole core: with a few rows and columns of
    // tiles, one tile has them all.
    Tile largest;
    largest.core = {0, 0, cl, cc};
    largest.inputs = {0, 0, largest_window(lines, cl, kChannelReach), largest_window(columns, cc, kChannelReach)};
    largest.output = {0, 0, largest_window(lines, cl, kFillReach), largest_window(columns, cc, kFillReach)};
    return tile_bytes(largest, water_bodies, compute_threads);
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
    if (!fits(1, 1)) return std::nullopt;
    // Few tiles: every count of tile rows, each with the fewest tile columns
    // that fit, and the plan whose windows add up to the least area (the
    // work of the distance maps, the reading), then the fewest tiles.
    std::optional<TilePlan> best;
    int64_t best_area = 0;
    for (int32_t rows = 1; rows <= std::min(lines, 256); ++rows) {
        const int32_t cl = even_share(lines, (lines + rows - 1) / rows);
        if (!fits(cl, 1)) continue;
        int32_t low = 1, high = columns;  // the fewest tile columns: the largest core that fits
        int32_t cc = 1;
        while (low <= high) {
            const int32_t middle = low + (high - low) / 2;
            if (fits(cl, middle)) {
                cc = middle;
                low = middle + 1;
            } else {
                high = middle - 1;
            }
        }
        if (fits(cl, even_share(columns, cc))) cc = even_share(columns, cc);
        const int64_t area = window_sum(lines, cl) * window_sum(columns, cc);
        const TilePlan plan(raster_lines, raster_columns, cl, cc);
        if (!best || area < best_area || (area == best_area && plan.count() < best->count())) {
            best = plan;
            best_area = area;
        }
    }
    if (best) return best;
    // Memory for small cores only: square ones, as large as fit.
    int32_t low = 1, high = std::max(lines, columns);
    while (low < high) {
        const int32_t middle = low + (high - low + 1) / 2;
        if (fits(std::min(middle, lines), std::min(middle, columns))) low = middle;
        else high = middle - 1;
    }
    int32_t cl = std::min(low, lines), cc = std::min(low, columns);
    if (fits(even_share(lines, cl), even_share(columns, cc))) {
        cl = even_share(lines, cl);
        cc = even_share(columns, cc);
    }
    return TilePlan(raster_lines, raster_columns, cl, cc);
}

uint64_t window_area(const TilePlan& plan) {
    if (plan.count() == 0) return 0;
    return static_cast<uint64_t>(window_sum(plan.raster_lines(), plan.core_lines())) *
           static_cast<uint64_t>(window_sum(plan.raster_columns(), plan.core_columns()));
}

uint64_t least_memory(int32_t raster_lines, int32_t raster_columns, bool water_bodies, int32_t tiles_at_once,
                      int32_t compute_threads) {
    return kResidentBase + static_cast<uint64_t>(std::max(tiles_at_once, 1)) *
                               tile_bytes(std::max(raster_lines, 1), std::max(raster_columns, 1), 1, 1,
                                          water_bodies, compute_threads);
}

uint64_t resident_bytes(int32_t reach) {
    uint64_t samples = 0;
    for (int32_t r = 1; r <= std::min(reach, kLargestRing); ++r) samples += RingTables::samples(r);
    return kProgramBytes + samples * sizeof(SampleOffset);
}

uint64_t largest_tile_bytes(const TilePlan& plan, const ReachMap& reaches, bool water_bodies,
                            int32_t compute_threads) {
    if (plan.count() == 0) return 0;
    if (plan.count() > kExactTiles) {
        const int32_t halo = reaches.largest() > 0 ? reaches.largest() + kFillReach : kFillReach;
        Tile bound;
        bound.core = {0, 0, plan.core_lines(), plan.core_columns()};
        bound.inputs = {0, 0, clip(int64_t{plan.core_lines()} + 2 * halo, plan.raster_lines()),
                        clip(int64_t{plan.core_columns()} + 2 * halo, plan.raster_columns())};
        bound.output = {0, 0, clip(int64_t{plan.core_lines()} + 2 * kFillReach, plan.raster_lines()),
                        clip(int64_t{plan.core_columns()} + 2 * kFillReach, plan.raster_columns())};
        return tile_bytes(bound, water_bodies, compute_threads);
    }
    uint64_t largest = 0;
    for (int64_t k = 0; k < plan.count(); ++k)
        largest = std::max(largest, tile_bytes(plan.tile(k, reaches), water_bodies, compute_threads));
    return largest;
}

uint64_t window_area(const TilePlan& plan, const ReachMap& reaches) {
    uint64_t area = 0;
    for (int64_t k = 0; k < plan.count(); ++k) {
        const RasterRect in = plan.tile(k, reaches).inputs;
        area += static_cast<uint64_t>(in.lines) * static_cast<uint64_t>(in.columns);
    }
    return area;
}

std::optional<TilePlan> plan_for_reaches(const ReachMap& reaches, int32_t raster_lines, int32_t raster_columns,
                                         bool water_bodies, uint64_t memory, int32_t tiles_at_once,
                                         int32_t compute_threads) {
    const int32_t lines = std::max(raster_lines, 1);
    const int32_t columns = std::max(raster_columns, 1);
    const uint64_t fixed = resident_bytes(reaches.largest()) +
                           ReachMap::measure_bytes(raster_lines, raster_columns, water_bodies);
    if (memory <= fixed) return std::nullopt;
    const uint64_t per_tile = (memory - fixed) / static_cast<uint64_t>(std::max(tiles_at_once, 1));
    auto plan_of = [&](int32_t side) {
        return TilePlan(raster_lines, raster_columns, std::min(side, lines), std::min(side, columns));
    };
    auto fits = [&](const TilePlan& plan) {
        return largest_tile_bytes(plan, reaches, water_bodies, compute_threads) <= per_tile;
    };
    if (!fits(plan_of(1))) return std::nullopt;
    int32_t low = 1, high = std::max(lines, columns);
    while (low < high) {
        const int32_t middle = low + (high - low + 1) / 2;
        if (fits(plan_of(middle))) low = middle;
        else high = middle - 1;
    }
    // Cores evened out, so that no row or column of tiles is a sliver.
    const TilePlan even(raster_lines, raster_columns, even_share(lines, std::min(low, lines)),
                        even_share(columns, std::min(low, columns)));
    return fits(even) ? even : plan_of(low);
}
