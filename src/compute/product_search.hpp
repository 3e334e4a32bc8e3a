// The ring search the channel computation uses, named in this one place.
//
// Every search type used here is built once per grid and tone and answers any
// number of centres:
//     Search(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono);
//     RingHit find(int32_t i, int32_t j) const;
// and gives, for every centre, the hit (distance and pixel) of the literal
// walk, or its miss with the same last position examined.
#pragma once

#include <cstdint>

#include "fast_tone_search.hpp"
#include "ring_search.hpp"
#include "run_state.hpp"

using ProductSearch = FastToneSearch;

// The search in its historical shape: the distance to the nearest pixel of
// `tono` around line i, column j of `tab`, with the pixel hit (or, without a
// hit, the last position examined) left in run.m2 and run.n2. Without a hit
// the result is kNoToneFound and m2, n2 must not be used to read a grid.
double circle(Run& run, int32_t i, int32_t j, unsigned char** tab, int32_t tono);
