// Nearest-tone ring search: how far a pixel lies from the nearest pixel of a
// grey tone, found by walking rings of growing whole radius and sampling each
// at a fixed set of angles (band_table_search.hpp walks them; product_search.hpp
// names the search the computation uses).
#pragma once

#include <cstdint>
#include <limits>

#include "run_state.hpp"

// The largest ring walked.
inline constexpr int32_t kLargestRing = 1500;

// The distance of a search that met no pixel of its tone on any ring. Its
// m2, n2 are then not a pixel and must not be used to read a grid.
inline constexpr double kNoToneFound = std::numeric_limits<double>::infinity();

struct RingHit {
    double dist = kNoToneFound;  // ring radius of the first hit, 1..1500
    int32_t m2 = 0;              // line of the hit pixel (last sample examined on a miss)
    int32_t n2 = 0;              // column of that pixel
    bool found() const { return dist != kNoToneFound; }
};

// Truncation toward zero of an extended-precision sample position, saturated
// so that a centre far outside any raster cannot overflow the conversion.
int32_t truncate_position(long double position);
