// import-mask: a raster class or vector features to an 8-bit mask pair on
// exactly the grid of an imported elevation pair.
#pragma once

#include <optional>
#include <string>

#include "progress.hpp"

struct ImportMaskOptions {
    std::string source;
    std::string name;  // DIR/NAME of the mask pair
    std::string like;  // DIR/NAME of the imported elevation pair
    int tone = 255;
    // Raster sources: the class value that marks the feature; default every
    // valid non-zero pixel.
    std::optional<double> class_value;
    int band = 1;
    // Vector sources: the layer (needed when there are several), an
    // attribute filter, and GDAL's all-touched rule.
    std::optional<std::string> layer;
    std::optional<std::string> where;
    bool all_touched = false;
};

void import_mask(const ImportMaskOptions& options, Progress& progress);
