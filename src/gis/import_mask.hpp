// import-mask: a raster class or vector features to an 8-bit mask pair on
// exactly the grid of an imported elevation pair.
#pragma once

#include <string>

#include "gis/command_context.hpp"
#include "gis/grid_source.hpp"

struct ImportMaskOptions {
    SourceChoice source;
    std::string name;  // DIR/NAME of the mask pair
    std::string like;  // DIR/NAME of the imported elevation pair
    int tone = 255;
};

void import_mask(const ImportMaskOptions& options, CommandContext& context);
