// import-dem: any GDAL raster band to an elevation pair plus its sidecar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "progress.hpp"

struct ImportDemOptions {
    std::string source;
    std::string name;  // DIR/NAME of the pair
    double scale = 1.0;
    int band = 1;
    std::optional<int32_t> nodata;  // the pair's value for pixels without data; default the lowest valid value
};

// Every valid value is multiplied by the scale and rounded to the nearest
// integer (halves away from zero); a value that then leaves the signed 32-bit
// range is refused, never wrapped.
int32_t scaled_elevation(double value, double scale, int32_t line, int32_t column);

void import_dem(const ImportDemOptions& options, Progress& progress);
