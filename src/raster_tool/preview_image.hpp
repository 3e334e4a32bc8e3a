// The picture of a preview: a grey hillshade of the relief, the channel
// pixels tinted by elevation on a blue-green-yellow-red ramp, and below it a
// legend strip with the ramp and the lowest and highest tinted elevations.
#pragma once

#include <cstdint>
#include <vector>

#include "pair_files.hpp"
#include "rgb_image.hpp"

inline constexpr int kLegendHeight = 30;
// Wide enough for two 11-character labels side by side.
inline constexpr int kMinimumPreviewWidth = 200;

// Light from the north-west (azimuth 315 degrees) at 45 degrees above the
// horizon, slopes by Horn's 3x3 method with the border pixels repeated; 0 is
// full shadow, 1 full light. Pixel size from the pair (1 when not positive);
// `z_factor` turns elevation units into pixel-size units (0.1 for decimetres
// over metre pixels).
std::vector<double> hillshade(const ElevationPair& relief, double z_factor);

// Ramp position 0 (lowest) to 1 (highest); never a grey.
Rgb ramp_colour(double t);

// `values` gives the tints, `relief` the shading (same size); pixels of `mask`
// equal to `tone` are tinted, or every pixel when there is no mask.
RgbImage compose_preview(const ElevationPair& values, const ElevationPair& relief, const MaskPair* mask, int tone,
                         double z_factor);
