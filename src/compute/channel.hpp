// The channel computation: what it reads, what it writes, and its one entry
// point. Everything else in this folder serves compute_channel.
//
// Every channel pixel (zone mask == tono_cauce) gets an elevation that rises,
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
// and progress lines are all in raster coordinates, so a window gives, for
// every pixel whose dependencies it holds, exactly the whole raster's value.
// A pixel depends on the inputs within kChannelReach of it (its own searches
// and those of the neighbours its means take, up to kFillReach away) and on
// the elevations within kFillReach, so a tile grown by those two reaches
// computes its core exactly. A neighbour outside `output` is not taken, and a
// search sample outside `inputs` never hits: only pixels nearer than those
// reaches to a window's edge (that is not the raster's edge) can differ.
#pragma once

#include <cstdint>
#include <string_view>

#include "compute/elevations.hpp"
#include "lib/grid.hpp"

// Pixels of a mean's neighbours, through every pass, that one pixel's
// elevation can depend on: 2 + 2 + 1 + 1 (passes 2 or 3, 4, 5, then 6 or 7).
inline constexpr int32_t kFillReach = 6;
// The largest ring of a search, and so the farthest pixel it reads.
inline constexpr int32_t kLargestRing = 1500;
// Input pixels that one elevation can depend on, in lines or columns.
inline constexpr int32_t kChannelReach = kLargestRing + kFillReach;

// The user's answers that the computation uses.
struct ChannelParameters {
    int32_t tono_cauce = 0;  // channel zone in the zone mask
    int32_t tono_bar = 0;    // railing in the railing mask
    int32_t tono_lim = 0;    // limiting contour line in the contour mask
    int32_t tono_perim = 0;  // water-body perimeter (read only with water bodies)
    int32_t alti_bar = 0;    // railing height, in the slope model's scale
    int32_t alti_lim = 0;    // contour altitude, in the same scale
    bool water_bodies = false;
};

// The input rasters. Grey tones are compared with the 8-bit pixel widened, so
// a tone outside 0..255 matches nothing. Every grid has the size of
// ChannelWindow::inputs; `tab_perim` is read (and needed) only with water bodies.
struct ChannelInputs {
    GridView<const int32_t> itab_in;         // slope model: elevations
    GridView<const unsigned char> tab_bar;   // railing (river banks)
    GridView<const unsigned char> tab_in;    // channel zone
    GridView<const unsigned char> tab_curv;  // limiting contour line
    GridView<const unsigned char> tab_perim; // water-body perimeter
};

// A rectangle of the raster: its first line and column, and its size.
struct RasterRect {
    int32_t line = 0;
    int32_t column = 0;
    int32_t lines = 0;
    int32_t columns = 0;
    bool empty() const { return lines <= 0 || columns <= 0; }
};

struct ChannelWindow {
    int32_t raster_lines = 0;
    int32_t raster_columns = 0;
    RasterRect inputs;  // where the input grids lie
    RasterRect output;  // where elevations are computed; inside `inputs`
    // Where the caller keeps the elevations (a tile's core, inside `output`):
    // the report counts the misses of the pixels there only. Empty: all of
    // `output`, as the whole raster counts them.
    RasterRect kept;

    // The whole raster as one window, as the console program runs it.
    static ChannelWindow whole(int32_t lines, int32_t columns) {
        return {lines, columns, {0, 0, lines, columns}, {0, 0, lines, columns}, {}};
    }
};

// The steps of the computation, in their order.
enum class ChannelStep {
    boundary_marked,     // the lower boundary marked on its work grid
    distances_measured,  // both searches ready: their distances to the tone measured
    first_pass,          // pass 1 done
    fill_passes,         // passes 2 to 7 done
};

// Where the computation reports its progress. The console run prints its pass
// headings and per-position lines; a batch run prints a percentage or nothing.
class ChannelProgress {
public:
    virtual ~ChannelProgress() = default;
    // A heading ("\n\n primer paso\n\n"), or one or more progress lines,
    // each starting with a tab and ending in a carriage return and five
    // blanks, byte for byte.
    virtual void text(std::string_view text) = 0;
    // False: text() is never called, and the lines are not even formatted.
    virtual bool wants_text() const { return true; }
    // The share of the work done, from 0 to 1, now and then.
    virtual void done(double /*share*/) {}
    // Each step as it ends (a benchmark times them).
    virtual void step_done(ChannelStep /*step*/) {}
};

class SilentProgress final : public ChannelProgress {
public:
    void text(std::string_view) override {}
    bool wants_text() const override { return false; }
};

struct ChannelReport {
    bool computed = false;        // false: the computation's own memory could not be had
    int64_t contour_misses = 0;   // interpolated pixels (of window.kept) without a contour line within 1500 pixels
    int64_t boundary_misses = 0;  // ... and without a lower boundary
};

// The memory compute_channel takes for itself on this window, at most: the
// lower-boundary grid, the two distance maps and the ring tables the raster's
// size allows. Saturates at the largest uint64_t.
uint64_t channel_memory_bytes(const ChannelWindow& window);

// The elevations of window.output, all 0.0, with room for its channel pixels
// (elevations.hpp): what compute_channel fills. Throws std::bad_alloc.
Elevations channel_elevations(const ChannelInputs& inputs, int32_t tono_cauce, const ChannelWindow& window);

// Gives every channel pixel of window.output its elevation in `dtab`, made
// for the window by channel_elevations: 0.0 marks a pixel not yet computed,
// and stays in every pixel outside the channel. A search that meets nothing
// within the largest ring gives the value the interpolation tends to: the base
// elevation without a contour line, the contour altitude without a lower
// boundary. Runs on up to `threads` threads (at least 1); the results and the
// progress texts do not depend on their number.
ChannelReport compute_channel(const ChannelInputs& inputs, const ChannelParameters& parameters,
                              const ChannelWindow& window, Elevations& dtab, ChannelProgress& progress,
                              int32_t threads);
