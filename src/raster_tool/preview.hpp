// preview: a PNG of an elevation pair a person can look at.
#pragma once

#include <optional>
#include <string>

#include "progress.hpp"

struct PreviewOptions {
    std::string name;    // DIR/PAIR: the elevations shown in colour
    std::string output;  // the PNG
    std::optional<std::string> mask;    // DIR/CHANNEL: which pixels are tinted
    int tone = 255;
    std::optional<std::string> relief;  // DIR/DEM shaded underneath; default the pair itself
    double z_factor = 1.0;
};

void preview(const PreviewOptions& options, Progress& progress);
