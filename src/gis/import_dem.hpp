// import-dem: a GDAL raster band to an elevation pair plus its sidecar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "gis/command_context.hpp"
#include "gis/dem_warp.hpp"

struct ImportDemOptions {
    std::string source;
    std::string name;  // DIR/NAME of the pair
    double scale = 1.0;  // positive
    std::optional<int> band;  // needed when the source has several
    // The pair's value for pixels without data, declared as nodata in the
    // sidecar; default the lowest valid value, which declares nothing.
    std::optional<int32_t> nodata;
    WarpRequest warp;
};

void import_dem(const ImportDemOptions& options, CommandContext& context);
