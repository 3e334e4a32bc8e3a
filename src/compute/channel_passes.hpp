// The passes of the channel computation over a lattice that grows finer.
//
// Pass 1 interpolates, by distance, every channel pixel of every fourth column
// of every fourth line. Passes 2 to 4 fill the rest of the lattice of step 2
// from neighbours two pixels away, passes 5 to 7 every remaining pixel from its
// immediate neighbours. Each pass consults only pixels of earlier passes, so a
// channel neighbour always carries its final elevation and the order in which
// a pass visits its own pixels does not matter.
//
// Lines and columns are raster coordinates throughout (the lattice, the
// border tests, the progress lines); the grids are those of a window
// (channel.hpp), read at a position less the window's origin.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "compute/channel_progress.hpp"
#include "compute/elevations.hpp"
#include "compute/pixel_interpolation.hpp"
#include "compute/raster_window.hpp"
#include "compute/tone.hpp"

// What the passes work on.
struct PassGrids {
    GridView<const unsigned char> zone;  // channel zone, on the inputs' window
    Elevations& elevations;              // elevations, on the output's window
    ChannelWindow window;
    Tone zone_tone;
};

struct FillPass {
    int pass;  // 2 to 7
    int32_t first_line, line_step;
    int32_t first_column, column_step;
    int32_t reach;   // distance of the neighbours consulted
    bool diagonal;   // the four diagonal neighbours, or the four straight ones
};

// Passes 2 to 7, in order.
inline constexpr std::array<FillPass, 6> kFillPasses = {{
    {2, 2, 4, 2, 4, 2, true},
    {3, 2, 4, 0, 4, 2, false},
    {4, 0, 4, 2, 4, 2, false},
    {5, 1, 2, 1, 2, 1, true},
    {6, 0, 2, 1, 2, 1, false},
    {7, 1, 2, 0, 2, 1, false},
}};

// How pass 1 shares out its searches: the channel pixels of a block of its
// lines, at least `centres_per_block` of them unless the window ends first,
// are searched together on up to `threads` threads, then printed and applied
// in the pass's order.
struct CoarseBlocks {
    int64_t centres_per_block = 8192;
    int32_t threads = 1;
};

// Pass 1: its beginning, every visited position, and the distance
// interpolation of every channel pixel it visits. The elevations, the
// progress events and the interpolation's miss counters end as if each pixel
// had been searched and interpolated in turn, whatever the blocks and threads.
// A stop requested by the progress ends it before the next block.
void coarse_pass(const PassGrids& grids, ChannelProgress& progress, DistanceInterpolation& interpolation,
                 CoarseBlocks blocks);

// Gives the pixel at raster line i, column j its elevation by distance.
using PixelInterpolation = std::function<void(int32_t i, int32_t j)>;

// One of passes 2 to 7: its beginning, every visited line, and every channel
// pixel still at 0.0 given the mean of its channel neighbours, or, when it has
// none, its elevation by distance. The means are shared among `threads`;
// `interpolate` is called on the calling thread only, in the pass's order,
// after the event of the pixel's line and before the next one.
void fill_pass(const PassGrids& grids, ChannelProgress& progress, const FillPass& pass,
               const PixelInterpolation& interpolate, int32_t threads);
