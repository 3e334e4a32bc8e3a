// The distance interpolation of one channel pixel: two ring searches from the
// pixel, the contour line first and then the lower boundary, and the
// elevation that their distances and the boundary pixel give.
//
// A search that meets no pixel of its tone within the largest ring has no
// distance and no pixel. The pixel then gets the value the interpolation
// tends to as that distance grows without bound: the base elevation A2 when
// only the contour line is missing, the contour altitude A1 when the lower
// boundary is missing (there is then no base to read). So no pixel ever
// receives 0.0, a NaN or an infinity, and later neighbour means stay sound.
#pragma once

#include <cstdint>
#include <vector>

#include "fast_search_batch.hpp"
#include "product_search.hpp"
#include "run_state.hpp"

class DistanceInterpolation {
public:
    // The run's contour grid and its marked lower-boundary work grid must be
    // complete: the searches may prepare themselves from them.
    explicit DistanceInterpolation(Run& run);

    // Gives dtab[i][j] its elevation; run.m2, run.n2 are left where the
    // boundary search (the second one) left them.
    void apply(int32_t i, int32_t j);

    // The same, from the two searches of (i, j) made beforehand (search).
    // Applied in the order of the centres, it leaves the run, the miss
    // counters included, exactly as apply(i, j) one centre after another.
    void apply(int32_t i, int32_t j, const SearchPair& pair);

    // Both searches of every centre, shared among `threads` threads (0: the
    // number band_threads.hpp chooses), in the order of the centres.
    std::vector<SearchPair> search(const std::vector<SearchCentre>& centres, int32_t threads = 0) const;

    // How many interpolated pixels had no contour line, and how many no lower
    // boundary, within the largest ring.
    int64_t contour_misses() const { return contour_misses_; }
    int64_t boundary_misses() const { return boundary_misses_; }

private:
    Run& run_;
    double A1_;
    ProductSearch contour_;
    ProductSearch boundary_;
    int64_t contour_misses_ = 0;
    int64_t boundary_misses_ = 0;
};
