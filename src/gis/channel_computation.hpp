// The computation of channel on its grids: the console program's very
// computation (compute_channel) in-process, on the grids of
// channel_sources.hpp, each elevation rounded as the console program's writer
// rounds it. No file is read or written here.
#pragma once

#include <cstdint>

#include "compute/channel.hpp"
#include "gis/channel_options.hpp"
#include "gis/channel_sources.hpp"
#include "gis/geo_grid.hpp"
#include "gis/progress.hpp"
#include "gis/warnings.hpp"

// The two heights as the computation's integers: times the scale, rounded as
// import-dem rounds the model (halves away from zero), with a warning when
// that rounding changes them. A scale that is not positive, or a height that
// leaves the signed 32-bit range, is refused. Without a contour altitude (one
// per contour pixel is read instead) it is 0 until the sources say.
struct ChannelHeights {
    int32_t railing_height = 0;
    int32_t contour_altitude = 0;
};
ChannelHeights scaled_heights(const ChannelOptions& options, Warnings& warnings);

// The computation's parameters for masks burned with kBurnTone, whole or by windows.
ChannelParameters burned_parameters(const ChannelHeights& heights, bool water_bodies);

struct ChannelResult {
    // On the model's grid: every pixel of the channel zone holds its
    // elevation as the console program writes it, the others have no data.
    GeoGrid<int32_t> elevations;
    ChannelReport report;
    int64_t pixels = 0;  // of the channel
    int32_t low = 0;     // its lowest and highest elevation
    int32_t high = 0;
};

// The memory compute_channel_grids takes beside the grids it is given.
uint64_t channel_computation_bytes(const Georef& grid);

// Computes the channel; the grids' memory goes to the result as soon as the
// computation is done with them.
ChannelResult compute_channel_grids(ChannelGrids grids, const ChannelHeights& heights, ProgressSpan& progress);
