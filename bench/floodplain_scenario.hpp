// A dense floodplain: a meandering river whose two banks are the railing, a
// floodplain 100 to 600 pixels wide on each side (the channel zone) up to a
// limiting contour line on each side, a few lakes whose shores are water-body
// perimeters, and a slope model that descends along the valley with noise. A
// raster wider than 4096 columns holds one such valley per 4096 columns, side
// by side; a smaller one holds one valley scaled down. The same size always
// gives the same rasters.
#pragma once

#include <cstdint>

#include "scenario.hpp"

Scenario make_floodplain(int32_t nb_lig, int32_t nb_col);
