// One tile of the batch run: its inputs read, its window computed, its core
// written. Why a core computed on its window is the whole raster's result:
//
// A tile's core is a rectangle C of the raster. The tile reads the inputs on
// C grown by kChannelReach = 1506 pixels on every side (the input window I)
// and computes the elevations on C grown by kFillReach = 6 (the output window
// O), both clipped to the raster, and calls compute_channel on that window:
// the very function of the whole-raster run, with every position (the lattice
// of the passes, the border tests, the search centres and samples) in raster
// coordinates, so nothing depends on where the window starts (a sample whose
// position depends on its centre is formed from the raster centre, as in the
// whole run). Take a pixel p of C.
//
// - Its own elevation, if it gets one by distance, comes from two ring
//   searches from p. A sample of ring r is the truncation toward zero of a
//   position at most r <= 1500 lines and columns from p's corner point, so it
//   lies within 1500 lines and columns of p (a position between -1 and 0
//   lands on line or column 0), hence inside I, or outside the raster, where
//   it is never a hit in either run. So the literal walk from p meets the
//   same samples in the same order on the same pixels in both runs, and its
//   first hit, or its miss, is the same. The hit pixel lies in I, whose slope
//   model and railing give the same base elevation.
// - The fast search skips samples by the distance D to the nearest pixel of
//   the tone (ring_search.hpp); on the window D is measured over the tone
//   pixels of I only, which can only make D larger than the whole raster's.
//   It stays a true lower bound of the distance to every pixel the search can
//   hit, since every sample of p's rings is in I or out of the raster: the
//   argument at the top of ring_search.hpp holds word for word, and the fast
//   search finds the literal walk's first hit.
// - Passes 2 to 7 give a pixel the mean of its channel neighbours that
//   earlier passes computed, taken within 2, 2, 1 and 1 pixels in turn
//   (passes 2 or 3, 4, 5, then 6 or 7), and a pixel without one the value of
//   its own two searches. Following these dependencies back from p through
//   the passes never leads farther than 2 + 2 + 1 + 1 = kFillReach from p:
//   every pixel whose value p's depends on lies in O (so no neighbour that
//   the whole run takes is missing), and the samples of its searches lie
//   within 1500 + 6 = kChannelReach of C, inside I (or out of the raster),
//   so its searches are exact by the first two points. Whether a neighbour
//   is a channel pixel, and whether an earlier pass computed it, depends only on
//   the zone mask and on the lattice at raster positions, the same in both
//   runs. By induction over the passes p receives the same value in each. A
//   pixel of O outside C may not (some of its neighbours lie outside O), but
//   it is never written: it belongs to another tile's core.
// - A pixel without a computed neighbour is interpolated, in the whole run,
//   in its pass's order among the others; its value depends only on its own
//   searches, so the order does not change it.
//
// So the core's elevations are bit for bit those of the whole-raster run;
// rounded with the writer's rounding (rounding.hpp), each gives the same
// integer, and the minimum and maximum folded over the cores (each starting
// at 1000000 and 0, strict comparisons) are those the writer finds over the
// whole raster. A pixel of C is interpolated by distance in the tile exactly
// when it is in the whole run (whether it has a computed neighbour is decided
// within O, as above), with the same searches; compute_channel counts the
// misses of the pixels of C only (the window's `kept` rectangle), and the
// cores cover the raster once, so their sum is the whole run's count.
#pragma once

#include <cstdint>
#include <string>

#include "compute/channel.hpp"
#include "lib/grid.hpp"
#include "tiles/raw_window.hpp"
#include "files/rounding.hpp"
#include "tiles/tile_plan.hpp"

// The input raw files of a run and the raster's size.
struct TileSources {
    int32_t lines = 0;
    int32_t columns = 0;
    const RawFile* slope = nullptr;
    const RawFile* railing = nullptr;
    const RawFile* zone = nullptr;
    const RawFile* contour = nullptr;
    const RawFile* perimeter = nullptr;  // with water bodies only
};

// What the writer keeps of the cores: the extremes of the rounded elevations
// (from 1000000 and 0, strict comparisons, every pixel taking part) and the misses.
struct CoreTotals {
    int32_t min = kResultMinimumStart;
    int32_t max = kResultMaximumStart;
    int64_t contour_misses = 0;
    int64_t boundary_misses = 0;
    void fold(const CoreTotals& other);
};

// The input grids of a tile, kept from one tile to the next by
// the thread that computes them: the pages of a large window are then had
// from the system once, not once per tile. They grow to the largest window
// met (in a plan, the largest tile has both the most lines and the most
// columns, so that is the largest tile's size).
class TileScratch {
public:
    template <typename T>
    static GridView<T> at_least(Grid<T>& grid, const RasterRect& size);

    Grid<int32_t> slope;
    Grid<unsigned char> railing, zone, contour, perimeter;
};

// Reads the tile's input window, computes its output window on `threads`
// threads, rounds its core and writes it with positioned writes into the
// result raster open on `result_fd` (named `result_path` in messages).
// TilesError when the memory or a read or write fails.
CoreTotals run_tile(const TileSources& sources, const ChannelParameters& parameters, const Tile& tile,
                    int result_fd, const std::string& result_path, int32_t threads, ChannelProgress& progress,
                    TileScratch& scratch);
