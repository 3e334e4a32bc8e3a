// Exact Euclidean distance from every pixel corner of an 8-bit grid to the
// nearest square of a pixel of one grey tone, kept in eighths of a pixel and
// rounded down, so that every stored value is a lower bound of the true one.
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
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "compute/tone.hpp"
#include "lib/grid.hpp"

// The largest stored value: 8191.875 pixels or farther (a lower bound still).
inline constexpr uint16_t kFarAway = 65535;

// The corners whose distance is wanted: on corner line i, the columns
// [from[i], to[i]) (none when from >= to), and how far from them a square of
// the tone may lie and still matter, reach[i] (distances beyond are held at
// reach[i]). Every other corner gets 0. Both stay lower bounds of the distance.
struct CornerRegion {
    std::vector<int32_t> from, to, reach;  // one of each per corner line
};

// Fills `eighths` ((lines + 1) * (columns + 1) values, line after line), for
// every corner or only for those of `region`, and tells whether the grid holds
// the tone at all. Works on up to `threads` threads.
bool tone_corner_distance_eighths(GridView<const unsigned char> grid, Tone tone, uint16_t* eighths, int32_t threads,
                                  const CornerRegion* region = nullptr);

// Distance from the square of pixel (line, column) to the nearest square of
// the tone: the least of its four corners' distances in `eighths` (corner
// lines of `width` values).
inline uint16_t square_distance(const uint16_t* eighths, std::size_t width, std::size_t line, std::size_t column) {
    const uint16_t* upper = eighths + line * width + column;
    const uint16_t* lower = upper + width;
    return std::min(std::min(upper[0], upper[1]), std::min(lower[0], lower[1]));
}

// Whether any pixel of `grid` holds the tone.
bool holds_tone(GridView<const unsigned char> grid, Tone tone);
