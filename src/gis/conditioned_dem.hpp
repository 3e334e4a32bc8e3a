// The elevation model with a channel burned in: what a hydraulic model runs
// on. A copy of the model as GDAL reads it (every band, the grid, pixel type,
// nodata value, scale, offset, unit, georeferencing and metadata), in which
// each channel pixel of the chosen band holds the channel's elevation.
//
// A channel elevation in the model's units becomes the band's raw value
// (elevation - offset) / scale: for integer pixel types rounded to the
// nearest integer, halves away from zero (as import-dem rounds), for Float32
// rounded to float. A raw value the type cannot hold is refused, never
// clipped, and so is one equal to the band's nodata value (that pixel would
// read as a hole). A channel pixel where the model had no data holds the
// channel's elevation and is valid; when the model marks its holes with a
// mask band, the mask is set there too.
#pragma once

#include <cstdint>

#include "gis/dem_source.hpp"
#include "gis/geo_grid.hpp"
#include "gis/output_files.hpp"
#include "gis/progress.hpp"
#include "gis/raster_writer.hpp"
#include "gis/warnings.hpp"

// Refused before any work: a model whose pixels are complex numbers.
void check_conditioned_type(const DemSource& dem);

// The bytes per pixel a conditioned copy of the model holds in memory.
std::uint64_t conditioned_bytes_per_pixel(const DemSource& dem);

// Writes the conditioned model into `output`. `channel` is on the model's
// grid: its pixels with data are the channel's, each holding its elevation
// in integers of `unit_per_integer` of the model's units.
void write_conditioned_dem(const DemSource& dem, const GeoGrid<int32_t>& channel, double unit_per_integer,
                           const OutputFile& output, const RasterFormat& format, ProgressSpan& progress,
                           Warnings& warnings);

// The raw value the conditioned model's band holds for a channel elevation in
// the model's units, by the rules above (refused as above); `line` and
// `column` name the pixel in the message. For the windowed route, which
// writes the model's copy core by core (gis/gdal_windows.hpp).
double conditioned_raw_value(const DemSource& dem, double elevation, int32_t line, int32_t column, int32_t columns);
