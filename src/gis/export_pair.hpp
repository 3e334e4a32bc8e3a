// export: an elevation pair (usually the console program's result) to a
// GDAL raster format, on the grid and CRS of the imported elevation pair it
// was computed from, with that model's scale and unit.
//
// Which pixels are nodata is decided by the channel zone, never by the
// values: with --mask, the pixels of the zone mask that do not hold the tone
// (the pixels the run did not compute) are nodata, and a nodata value that a
// channel pixel holds is refused. Without --mask every pixel is a value (a
// result's 0 outside the channel included), except when the pair exported
// is the model itself, whose declared fill is kept as nodata.
#pragma once

#include <gdal.h>

#include <optional>
#include <string>

#include "gis/command_context.hpp"
#include "gis/raster_writer.hpp"

struct ExportOptions {
    std::string name;    // DIR/RESULT
    std::string output;
    std::string like;    // DIR/DEM
    std::optional<std::string> mask;  // DIR/ZONE: the channel zone the run used
    int tone = 255;
    std::optional<double> nodata;  // in the values written; needs mask
    // Values in the model's own units (value * scale + offset) as reals,
    // instead of the pair's integers with the band's scale and offset.
    bool unscale = false;
    std::optional<GDALDataType> type;  // Int32 (default), Int16, UInt16; with unscale Float32 (default), Float64
    RasterFormat format;
};

void export_pair(const ExportOptions& options, CommandContext& context);
