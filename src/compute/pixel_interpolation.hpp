// The distance interpolation of one channel pixel: two ring searches from the
// pixel, the contour line first and then the lower boundary, and the
// elevation that their distances and the boundary pixel give.
//
// A search that meets no pixel of its tone within the largest ring has no
// distance and no pixel. The pixel then gets the value the interpolation
// tends to as that distance grows without bound: the base elevation when
// only the contour line is missing, the contour altitude when the lower
// boundary is missing (there is then no base to read). So no pixel ever
// receives 0.0, a NaN or an infinity, and later neighbour means stay sound.
#pragma once

#include <cstdint>
#include <vector>

#include "compute/channel_inputs.hpp"
#include "compute/elevations.hpp"
#include "compute/raster_window.hpp"
#include "compute/ring_search.hpp"

struct SearchCentre {
    int32_t i, j;  // raster coordinates
};

struct SearchPair {
    RingHit contour;   // first search of the centre
    RingHit boundary;  // second search
};

class DistanceInterpolation {
public:
    // The lower boundary is the railing and, with water bodies, the
    // perimeter, each read with its own tone (tone_grids.hpp); the searches
    // measure their distances from it and from the contour line here, where
    // the channel pixels of `elevations` can look (search_region.hpp), on up
    // to `threads` threads.
    DistanceInterpolation(const ChannelInputs& inputs, const ChannelParameters& parameters, const ChannelTones& tones,
                          const ChannelWindow& window, Elevations& elevations, int32_t threads);

    // Gives the pixel at raster line i, column j its elevation in elevations.
    void apply(int32_t i, int32_t j);
    // The same from the two searches of (i, j) made beforehand (search).
    // Applied in the order of the centres, it counts the misses exactly as
    // apply(i, j) one centre after another.
    void apply(int32_t i, int32_t j, const SearchPair& pair);

    // Both searches of `count` centres into `pairs`. Each search reads only
    // its own map and grids and writes only its own result, so any thread may
    // search any centres: the results are the same.
    void search(const SearchCentre* centres, std::size_t count, SearchPair* pairs) const;

    // Misses of the pixels of window.kept (of all of window.output when it is empty).
    int64_t contour_misses() const { return contour_misses_; }
    int64_t boundary_misses() const { return boundary_misses_; }
    // The farthest ring any search of the window reached: the ring of its
    // hit, kLargestRing for a search without one (0 before any search).
    int32_t farthest_ring() const { return farthest_ring_; }

private:
    // The altitude toward which the pixel rises: the met contour pixel's own
    // when the inputs give one per pixel, else the parameters' constant.
    double contour_altitude_of(const RingHit& line) const;

    const ChannelInputs& inputs_;
    ChannelParameters parameters_;
    Tone railing_tone_;
    ChannelWindow window_;
    RasterRect counted_;  // where misses are counted
    Elevations& elevations_;
    RingSearch contour_;
    RingSearch boundary_;
    int64_t contour_misses_ = 0;
    int64_t boundary_misses_ = 0;
    int32_t farthest_ring_ = 0;
};
