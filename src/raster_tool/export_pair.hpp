// export: an elevation pair (usually the console program's result) to any
// GDAL raster format, on the grid and CRS of the imported elevation pair it
// was computed from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "progress.hpp"

struct ExportOptions {
    std::string name;  // DIR/RESULT
    std::string output;
    std::string like;  // DIR/DEM
    std::string format = "GTiff";
    // Pixels outside the channel hold 0 in a result; given a value, they get
    // it and the output declares it as nodata.
    std::optional<int32_t> nodata;
};

void export_pair(const ExportOptions& options, Progress& progress);
