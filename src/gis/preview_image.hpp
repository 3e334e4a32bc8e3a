// The picture of a preview, put together from what GDAL made: the grey
// hillshade of the relief, the channel pixels in their colour-relief colour
// (lit by the same shade), and below them a legend strip with the ramp and
// the lowest and highest tinted elevations written in a small pixel font.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "gis/rgb_image.hpp"

inline constexpr int kLegendHeight = 30;
// Wide enough for two 11-character labels side by side.
inline constexpr int kMinimumPreviewWidth = 200;

// The width of the picture of a raster of `columns` columns.
int preview_width(int columns);
// The legend's colour bar runs from this column to the width less it, inclusive.
inline constexpr int kLegendMargin = 4;

struct PreviewLayers {
    int columns = 0;
    int lines = 0;
    std::vector<uint8_t> shade;    // hillshade, 1 (shadow) to 255 (light)
    std::vector<uint8_t> tinted;   // non-zero where the pixel takes its colour
    std::vector<Rgb> colours;      // colour of each pixel (used where tinted)
    std::vector<Rgb> ramp;         // the legend bar, one colour per column of the bar
    std::optional<std::pair<int32_t, int32_t>> range;  // lowest and highest tinted elevation
};

RgbImage compose_preview(const PreviewLayers& layers);
