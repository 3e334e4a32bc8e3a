// What the channel command is told: its sources, its outputs, the two heights
// and how the values are written (channel_command.hpp).
#pragma once

#include <gdal.h>

#include <cstdint>
#include <optional>
#include <string>

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
    // The windowed route (channel_command.hpp): the memory the command may
    // take (--memory; by default half the machine's), cores of tile x tile
    // pixels even when the whole route would fit (--tile), and threads.
    std::optional<uint64_t> memory;
    std::optional<int32_t> tile;
    std::optional<int32_t> threads;
};
