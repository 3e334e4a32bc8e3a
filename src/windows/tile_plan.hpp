// How a raster is cut into tiles, and what one tile costs in memory.
//
// The cores of the tiles cover the raster once: a grid of rectangles of
// core_lines x core_columns (those of the last row and column smaller). A
// tile computes its core grown by kFillReach (its output) and reads its core
// grown by a halo on every side, both clipped to the raster: kChannelReach
// everywhere, or, with a reach map (reach_map.hpp), the reach of the searches
// from its output's channel pixels plus kFillReach, and just its output when
// it holds no channel pixel (windowed_run.hpp says why either is exact).
#pragma once

#include <cstdint>
#include <optional>

#include "compute/channel.hpp"
#include "windows/reach_map.hpp"

struct Tile {
    RasterRect core;    // the pixels this tile writes
    RasterRect inputs;  // the pixels it reads
    RasterRect output;  // the pixels it computes
};

// What stays resident whatever the tiles: the ring tables (every ring of
// every band: about 24.6 MB) and the program itself (code, libraries, the
// standard streams, the threads' stacks as far as they are touched).
inline constexpr uint64_t kResidentBase = uint64_t{48} << 20;

class TilePlan {
public:
    TilePlan() = default;
    // Cores of at most core_lines x core_columns (each at least 1), clipped to the raster.
    TilePlan(int32_t raster_lines, int32_t raster_columns, int32_t core_lines, int32_t core_columns);

    int32_t raster_lines() const { return lines_; }
    int32_t raster_columns() const { return columns_; }
    int32_t core_lines() const { return core_lines_; }
    int32_t core_columns() const { return core_columns_; }
    int64_t count() const { return int64_t{rows_} * cols_; }
    // Tile k, row by row of tiles from the top left, with the full halo.
    Tile tile(int64_t k) const;
    // Tile k with the halo its searches need by `reaches`.
    Tile tile(int64_t k, const ReachMap& reaches) const;
    // The tile of `core` (inside the raster) grown by `halo` (at least 0)
    // plus kFillReach, and computed on its core grown by kFillReach.
    Tile tile_of(const RasterRect& core, int32_t halo) const;

private:
    int32_t lines_ = 0;
    int32_t columns_ = 0;
    int32_t core_lines_ = 1;
    int32_t core_columns_ = 1;
    int32_t rows_ = 0;
    int32_t cols_ = 0;
};

// The pixels the plan's tiles read, all together (at least the raster's: the
// rest is the cost of the halo).
uint64_t window_area(const TilePlan& plan);

// Bytes that `tile` keeps while it is computed, at most: its input grids (4
// bytes of slope model and 1 per mask), the lower-boundary grid (1), the two
// distance maps (2 bytes per pixel corner each), the elevations of its output
// (8), the rows' tables and allocation overheads, the rounded core and its
// channel flags (5 per core pixel), the pass-1
// search blocks and the scratch lines of each of the `compute_threads`
// threads that compute it.
uint64_t tile_bytes(const Tile& tile, bool water_bodies, int32_t compute_threads);

// The bytes of the largest tile of a plan with cores of core_lines x
// core_columns: exactly those of its largest tile when it has at most 64 rows
// and 64 columns of tiles, otherwise a bound for its windows (a core grown by
// both reaches) that may exceed them by a few pixels.
uint64_t tile_bytes(int32_t raster_lines, int32_t raster_columns, int32_t core_lines, int32_t core_columns,
                    bool water_bodies, int32_t compute_threads);

// The plan that fits `tiles_at_once` tiles computed side by side within
// `memory` bytes (kResidentBase included) and, among those with up to 256
// rows of tiles, reads and measures the least window area (every row count
// tried, each with the fewest columns of tiles that fit; cores evened out so
// that no row or column of tiles is a sliver). Square cores, as large as fit,
// when even 256 rows of tiles are too large. None when not even a core of one
// pixel fits.
std::optional<TilePlan> plan_for_memory(int32_t raster_lines, int32_t raster_columns, bool water_bodies,
                                        uint64_t memory, int32_t tiles_at_once, int32_t compute_threads);

// What stays resident when no search reaches beyond `reach` rings: the
// program itself (code, libraries, standard streams, the threads' stacks as
// touched: kProgramBytes) and the ring tables up to that ring, which are
// built ring by ring as the searches reach them (ring_tables.hpp).
inline constexpr uint64_t kProgramBytes = uint64_t{20} << 20;
uint64_t resident_bytes(int32_t reach);

// The plan, with square cores as large as fit, whose largest tile (each with
// the halo of `reaches`) fits `tiles_at_once` tiles computed side by side in
// `memory` bytes beside resident_bytes(reaches.largest()) and the map. None
// when not even cores of one pixel fit.
std::optional<TilePlan> plan_for_reaches(const ReachMap& reaches, int32_t raster_lines, int32_t raster_columns,
                                         bool water_bodies, uint64_t memory, int32_t tiles_at_once,
                                         int32_t compute_threads);

// The bytes of the largest tile of `plan` with the halos of `reaches`:
// exactly when the plan has at most kExactTiles tiles, otherwise a bound
// (every tile with the map's largest reach).
inline constexpr int64_t kExactTiles = 1 << 16;
uint64_t largest_tile_bytes(const TilePlan& plan, const ReachMap& reaches, bool water_bodies, int32_t compute_threads);

// The pixels the plan's tiles read with the halos of `reaches`, all together.
uint64_t window_area(const TilePlan& plan, const ReachMap& reaches);

// The least memory with which plan_for_memory finds a plan (cores of one pixel).
uint64_t least_memory(int32_t raster_lines, int32_t raster_columns, bool water_bodies, int32_t tiles_at_once,
                      int32_t compute_threads);
