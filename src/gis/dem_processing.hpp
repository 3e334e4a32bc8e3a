// The relief and the colours of a preview, made by GDAL's DEM processing (the
// library behind gdaldem): a hillshade and a colour relief.
#pragma once

#include <cstdint>
#include <vector>

#include "gis/pair_files.hpp"
#include "gis/rgb_image.hpp"

// GDAL's hillshade of an elevation pair: light from the north-west (azimuth
// 315 degrees) at 45 degrees above the horizon, edges computed too; one
// byte per pixel, 1 full shadow to 255 full light. The pixel size is the
// pair's (1 when not positive); `z_factor` turns elevation units into
// pixel-size units (0.1 for decimetres over metre pixels).
std::vector<uint8_t> hillshade(const ElevationPair& relief, double z_factor);

// GDAL's colour relief of `values` (`columns` per line) on a blue, cyan,
// green, yellow, red ramp spread evenly from `low` to `high`. The pixels
// `with_colour` marks 0 are left without colour and come back black (an empty
// `with_colour` colours every pixel).
std::vector<Rgb> colour_relief(std::vector<double> values, const std::vector<uint8_t>& with_colour, int columns,
                               int lines, double low, double high);
