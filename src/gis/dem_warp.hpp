// An elevation model put on another CRS or pixel size by GDAL's warper on
// the way in (import-dem and channel -t_srs / -tr / -r), so a DEM in degrees or with
// oblong pixels need not go through gdalwarp first. The warped raster is
// virtual: pixels are computed as they are read.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "gis/gdal_env.hpp"

struct WarpRequest {
    std::optional<std::string> target_crs;                // -t_srs, as GDAL takes it ("EPSG:32614")
    std::optional<std::pair<double, double>> resolution;  // -tr XRES YRES, both positive
    std::optional<std::string> resampling;                // -r, GDAL's names; gdalwarp's default (near) otherwise

    bool wanted() const { return target_crs || resolution || resampling; }
};

// Every band of `source` warped to Float64, NaN wherever the source had no
// data or does not reach. Resampled on its own CRS (-tr alone), a north-up
// raster keeps its extent. The band's scale, offset and unit are the
// caller's to take from the source. With `source_type`, on the very same
// grid as gdalwarp writes it: every band in its own pixel type, nodata
// value, scale, offset and unit (and NaN where a real-valued raster without
// a nodata value does not reach).
Dataset warp_source(GDALDatasetH source, const std::string& source_name, const WarpRequest& request,
                    bool source_type = false);
