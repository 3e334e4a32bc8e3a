// channel: from GIS data to the channel's elevation model in one command,
// without the console dialog. The elevation model is read and scaled as
// import-dem reads it, the banks, the channel zone, the limiting contour line
// and the water bodies are burned onto its grid as import-mask burns them,
// and the very computation of the console program (compute_channel) runs
// in-process on them; each elevation is rounded as the console program's
// writer rounds it. So the values are those of the console route (import,
// dialog, export) with the same scale, pixel for pixel.
//
// Outputs: the channel's elevations (the rounded integers with the band scale
// 1/S and the model's unit, or real values in the model's units unscaled),
// nodata outside the channel zone; and, when asked, the model itself with the
// channel burned in (conditioned_dem.hpp).
#pragma once

#include <gdal.h>

#include <optional>
#include <string>

#include "gis/command_context.hpp"
#include "gis/grid_source.hpp"
#include "gis/raster_writer.hpp"

// The default resolution of the computation: hundredths of the model's unit,
// centimetres for a model in metres. Finer than the vertical accuracy of any
// DEM, so the integer arithmetic adds no visible error, and the signed 32-bit
// range still spans +-21 474 836 units.
inline constexpr double kDefaultChannelScale = 100.0;

struct ChannelOptions {
    std::string dem;
    std::string output;
    std::optional<std::string> conditioned;
    SourceChoice banks;
    SourceChoice zone;
    SourceChoice contour;
    std::optional<SourceChoice> lakes;
    double railing_height = 0.0;    // in the model's units
    double contour_altitude = 0.0;  // in the model's units
    double scale = kDefaultChannelScale;
    std::optional<double> nodata;  // in the values written
    bool unscale = false;
    std::optional<GDALDataType> type;
    RasterFormat format;
};

void channel_command(const ChannelOptions& options, CommandContext& context);
