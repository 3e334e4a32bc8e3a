// The two ring searches of many centres at once, shared among threads
// (band_threads.hpp). Each search reads only its own map and grid and writes
// only its own result, so the results, kept in the order of the centres, do
// not depend on the number of threads: a caller that then applies them and
// prints its progress in that order produces the same bytes as one that
// searched one centre at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "fast_tone_search.hpp"

struct SearchCentre {
    int32_t i, j;
};

struct SearchPair {
    RingHit contour;   // first search of the centre
    RingHit boundary;  // second search
};

// `threads`: at most that many threads (0: as many as band_threads.hpp chooses).
std::vector<SearchPair> find_pairs(const FastToneSearch& contour, const FastToneSearch& boundary,
                                   const std::vector<SearchCentre>& centres, int32_t threads = 0);
