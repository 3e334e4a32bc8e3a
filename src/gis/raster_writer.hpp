// Rasters written with a GDAL driver (a GeoTIFF by default) from pixels held
// in memory, with the band's nodata value, scale, offset and unit type, and
// checked afterwards: a format that lost the nodata value, the scale or the
// offset would give other values than those written, so it is refused; a
// lost unit type is warned about.
#pragma once

#include <gdal.h>

#include <string>
#include <vector>

#include "gis/gdal_env.hpp"
#include "gis/georef.hpp"
#include "gis/output_files.hpp"
#include "gis/progress.hpp"
#include "gis/warnings.hpp"

struct RasterFormat {
    std::string driver = "GTiff";
    std::vector<std::string> creation_options;  // NAME=VALUE, as -co takes them
};

// Refused before any work: a format GDAL does not have, one that writes no
// file of its own (MEM holds the raster in memory, a VRT only points to
// other rasters), one that cannot hold `type`, and creation options the
// driver does not take.
void check_output_format(const RasterFormat& format, GDALDataType type);

// GDAL's name of a pixel type ("Int32").
std::string type_name(GDALDataType type);

// A one-band raster in memory of `type`, filled from `pixels` (of
// `pixel_type`, line by line), with the grid's georeferencing and the band
// described.
Dataset band_in_memory(const Georef& grid, GDALDataType type, const void* pixels, GDALDataType pixel_type,
                       const BandUnits& band);

// Writes `source` into `output.temporary` with the format; the messages name
// the target. With `band`, the first band of what was written is read back
// and compared with it.
void write_raster(GDALDatasetH source, const OutputFile& output, const RasterFormat& format, ProgressSpan& progress,
                  Warnings& warnings, const BandUnits* band = nullptr);
