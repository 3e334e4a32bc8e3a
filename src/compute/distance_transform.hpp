// Exact Euclidean distance from every pixel corner of an 8-bit grid to the
// nearest square of a pixel of one grey tone (or of either of two grids, each
// with its own tone: tone_grids.hpp), kept in eighths of a pixel and rounded
// down, so that every stored value is a lower bound of the true one.
//
// The corners are the points (line, column) with 0 <= line <= lines and
// 0 <= column <= columns of the grid; pixel (m, n) is the square [m, m+1] x [n, n+1]. From a
// whole-number point the nearest point of such a square is one of its four
// corners, so the distance to the squares is the distance to the set of their
// corners: an ordinary distance transform of that set. Two sweeps down and up
// the lines give, per column, the distance to the nearest corner of the set in
// that column; one lower-envelope pass per line (Meijster, Roerdink and
// Hesselink) then gives the exact squared distance in integers. Cost: a few
// operations per point, shared among threads (band_threads.hpp; the result
// does not depend on their number); the only storage beyond the result is a
// few vectors of one line per thread.
//
// On a region (CornerRegion below): only the corners a channel's searches can
// look at are measured, and only the lines and columns their distances depend
// on are swept. Take corner line i of the region, its corners [from, to) and
// its reach R. A corner of it whose distance d is at most R has its nearest
// corner of the set within R lines and R columns, so inside the box of lines
// [i - R, i + R] and columns [from - R, to + R). Sweeping each column of the
// box down and up from the box's own first and last lines gives that nearest
// corner's column its exact vertical distance (at most R, all within the box);
// any other column gets the distance to the nearest corner of the set among
// the lines swept, never less than the true one. The envelope over the box's
// columns therefore reaches exactly d * d and nowhere less. Where d > R the
// envelope is at least d * d > R * R, and the distance is held at R: a lower
// bound still. Only a box that covers every line and column of the grid has
// exact vertical distances everywhere, so only there is nothing held at R,
// as without a region. So the sweeps of a block of columns cover the union of
// the boxes that cross it, a few per cent of a large grid along a river, and
// the other corners are neither read nor written.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "compute/corner_map.hpp"
#include "compute/tone.hpp"
#include "compute/tone_grids.hpp"
#include "lib/grid.hpp"

// The largest stored value: 8191.875 pixels or farther (a lower bound still).
inline constexpr uint16_t kFarAway = 65535;

// The corners whose distance is wanted: on corner line i, the columns
// [from[i], to[i]) (none when from >= to), and how far from them a square of
// the tone may lie and still matter, reach[i] (distances beyond are held at
// reach[i]). Every other corner keeps 0. Both stay lower bounds of the distance.
struct CornerRegion {
    std::vector<int32_t> from, to, reach;  // one of each per corner line
};

// Fills `map` (made for lines + 1 corner lines of columns + 1 corners, all
// 0: corner_map.hpp), for every corner, or only for the corners of `region`:
// then every corner outside the region still holds 0 on return (the sweeps'
// scratch values are cleared), and the tiles far from the region are never
// touched. Tells whether the grids hold the tone at all. Works on up to
// `threads` threads.
bool tone_corner_distance_eighths(const ToneGrids& target, CornerMap& map, int32_t threads,
                                  const CornerRegion* region = nullptr);
inline bool tone_corner_distance_eighths(GridView<const unsigned char> grid, Tone tone, CornerMap& map,
                                         int32_t threads, const CornerRegion* region = nullptr) {
    return tone_corner_distance_eighths(ToneGrids(grid, tone), map, threads, region);
}

// Whether any pixel of the grids holds its tone.
bool holds_tone(const ToneGrids& target);
