// What the channel command is told: its sources, its outputs, the two heights
// and how the values are written (channel_command.hpp).
#pragma once

#include <gdal.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gis/dem_warp.hpp"
#include "gis/grid_source.hpp"
#include "gis/raster_writer.hpp"

// The default resolution of the computation: hundredths of the model's unit,
// centimetres for a model in metres. Finer than the vertical accuracy of any
// DEM, so the integer arithmetic adds no visible error, and the signed 32-bit
// range still spans +-21 474 836 units.
inline constexpr double kDefaultChannelScale = 100.0;

struct ChannelOptions {
    std::string dem;
    std::optional<int> band;  // of the model; needed when it has several
    WarpRequest warp;         // the model put on another CRS or pixel size on the way in
    std::string output;
    std::optional<std::string> conditioned;
    bool burn_only = false;  // the conditioned model as a plain burn of the channel, not drained
    SourceChoice banks;
    SourceChoice zone;
    SourceChoice contour;
    std::optional<SourceChoice> lakes;
    double railing_height = 0.0;    // in the model's units
    // The contour's altitude, in the model's units: one for the whole line,
    // or one per contour pixel from a field of the layer or from the model
    // along the line (then the one given, if any, is checked against them and
    // serves the pixels whose searches meet nothing).
    std::optional<double> contour_altitude;
    std::optional<std::string> contour_altitude_field;
    bool contour_altitude_from_dem = false;
    double scale = kDefaultChannelScale;
    std::optional<double> nodata;  // in the values written
    bool unscale = false;
    std::optional<GDALDataType> type;
    RasterFormat format;
    // The windowed route (channel_command.hpp): the memory the command may
    // take (--memory; by default half the machine's), cores of tile x tile
    // pixels even when the whole route would fit (--tile), and threads.
    std::optional<uint64_t> memory;
    std::optional<int32_t> tile;
    std::optional<int32_t> threads;
    // The conditioned model's own creation options (--conditioned-co); -co's
    // when none are given.
    std::optional<std::vector<std::string>> conditioned_creation_options;

    RasterFormat conditioned_format() const {
        return {format.driver, conditioned_creation_options.value_or(format.creation_options)};
    }
};
