// Where the computation works: a window of the raster. The input grids may
// cover a rectangle of a larger raster and the elevations be computed on a
// rectangle inside it; every position (the lattice of the passes, the border
// tests, the ring-search samples, the progress) stays in raster coordinates.
#pragma once

#include <cstdint>

// Pixels of a mean's neighbours, through every pass, that one pixel's
// elevation can depend on: 2 + 2 + 1 + 1 (passes 2 or 3, 4, 5, then 6 or 7).
inline constexpr int32_t kFillReach = 6;
// The largest ring of a search, and so the farthest pixel it reads.
inline constexpr int32_t kLargestRing = 1500;
// Input pixels that one elevation can depend on, in lines or columns.
inline constexpr int32_t kChannelReach = kLargestRing + kFillReach;

// A rectangle of the raster: its first line and column, and its size.
struct RasterRect {
    int32_t line = 0;
    int32_t column = 0;
    int32_t lines = 0;
    int32_t columns = 0;
    bool empty() const { return lines <= 0 || columns <= 0; }
    bool holds(int64_t raster_line, int64_t raster_column) const {
        return raster_line >= line && raster_line - line < lines && raster_column >= column &&
               raster_column - column < columns;
    }
};

struct ChannelWindow {
    int32_t raster_lines = 0;
    int32_t raster_columns = 0;
    RasterRect inputs;  // where the input grids lie
    RasterRect output;  // where elevations are computed; inside `inputs`
    // Where the caller keeps the elevations (a tile's core, inside `output`):
    // the report counts the misses of the pixels there only. Empty: all of
    // `output`, as the whole raster counts them.
    RasterRect kept;

    // The whole raster as one window, as the console program runs it.
    static ChannelWindow whole(int32_t lines, int32_t columns) {
        return {lines, columns, {0, 0, lines, columns}, {0, 0, lines, columns}, {}};
    }
};
