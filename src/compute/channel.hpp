// The channel computation: its one entry point. Everything else in this
// folder serves compute_channel; what it reads, where it works and how it
// reports progress are in channel_inputs.hpp, raster_window.hpp and
// channel_progress.hpp.
//
// Every channel pixel (zone mask == zone_tone) gets an elevation that rises,
// by distance, from the nearest lower-boundary pixel (railing, or water-body
// perimeter when there are water bodies) toward the altitude of the limiting
// contour line:
//  - pass 1 takes every fourth column of every fourth line and interpolates
//    by distance, from two ring searches (ring_search.hpp): the contour line,
//    then the lower boundary;
//  - passes 2 to 7 fill the rest of the lattice, finer and finer, with the
//    mean of the channel neighbours that earlier passes computed; a pixel
//    without one is interpolated by distance.
// The arithmetic is in elevation_rules.hpp, the passes in channel_passes.hpp.
//
// Windows. The grids given need not cover the whole raster: `inputs` says
// where the input grids lie in it, `output` where the elevations are computed
// (inside `inputs`). Lattice positions, border tests, ring-search positions
// and progress events are all in raster coordinates, so a window gives, for
// every pixel whose dependencies it holds, exactly the whole raster's value.
// A pixel depends on the inputs within kChannelReach of it (its own searches
// and those of the neighbours its means take, up to kFillReach away) and on
// the elevations within kFillReach, so a tile grown by those two reaches
// computes its core exactly. A neighbour outside `output` is not taken, and a
// search sample outside `inputs` never hits: only pixels nearer than those
// reaches to a window's edge (that is not the raster's edge) can differ.
#pragma once

#include <cstdint>

#include "compute/channel_inputs.hpp"
#include "compute/channel_progress.hpp"
#include "compute/elevations.hpp"
#include "compute/raster_window.hpp"

struct ChannelReport {
    bool computed = false;        // false: the computation's own memory could not be had, or it stopped
    bool stopped = false;         // the progress asked it to stop: the elevations are unfinished
    int64_t contour_misses = 0;   // interpolated pixels (of window.kept) without a contour line within 1500 pixels
    int64_t boundary_misses = 0;  // ... and without a lower boundary
    // The farthest ring any search of the window reached (its hit's ring, or
    // kLargestRing for a search without a hit), whatever pixel it was made
    // for: a windowed run checks with it that its window held every sample
    // its searches read (windows/windowed_run.hpp).
    int32_t search_reach = 0;
};

// The memory compute_channel takes for itself on this window, at most: the
// two distance maps (fewer pages where they are measured around a river only)
// and the ring tables the raster's size allows. Saturates at the largest
// uint64_t.
uint64_t channel_memory_bytes(const ChannelWindow& window);

// The elevations of window.output, all 0.0, with room for its channel pixels
// (elevations.hpp): what compute_channel fills. Throws std::bad_alloc.
Elevations channel_elevations(const ChannelInputs& inputs, int32_t zone_tone, const ChannelWindow& window);

// Gives every channel pixel of window.output its elevation in `elevations`,
// made for the window by channel_elevations: 0.0 marks a pixel not yet
// computed, and stays in every pixel outside the channel. A search that meets
// nothing within the largest ring gives the value the interpolation tends to:
// the base elevation without a contour line, the contour altitude without a
// lower boundary. Runs on up to `threads` threads (at least 1); the results
// and the progress events do not depend on their number. A progress that asks
// to stop (ChannelProgress::stop_requested) ends it early, reported stopped.
ChannelReport compute_channel(const ChannelInputs& inputs, const ChannelParameters& parameters,
                              const ChannelWindow& window, Elevations& elevations, ChannelProgress& progress,
                              int32_t threads);
