// preview: a picture (PNG by default) of an elevation pair a person can look at.
#pragma once

#include <optional>
#include <string>

#include "gis/command_context.hpp"
#include "gis/raster_writer.hpp"

struct PreviewOptions {
    std::string name;    // DIR/PAIR: the elevations shown in colour
    std::string output;  // the picture
    // DIR/CHANNEL: the pixels holding `tone` are tinted; without a mask,
    // every pixel but those holding 0 (a result's background).
    std::optional<std::string> mask;
    int tone = 255;
    std::optional<std::string> relief;  // DIR/DEM shaded underneath; default the pair itself
    double z_factor = 1.0;
    RasterFormat format{"PNG", {}};
};

void preview(const PreviewOptions& options, CommandContext& context);
