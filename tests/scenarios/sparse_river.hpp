// A sparse reach: a narrow meandering river across a large raster, as real
// terrain gives it. Along the river the channel zone is a band on each side
// of the stream, from its bank (the railing) to the limiting contour line;
// the stream between its banks is water, not zone. Two lakes per 4096 lines
// of river, one on the river (the stream runs into and out of it) and one
// beside it on the outside of a bend, have their shores drawn as water-body
// perimeters, their interiors in the zone and a band of zone around them up
// to a contour line that joins the river's. The slope model, in decimetres,
// descends along the valley, rises away from the water, and is level around
// each lake, with noise.
//
// At 4096 x 4096 the zone is 2.4 % of the pixels; the band pixels lie within
// about 30 pixels of the lower boundary, the lake interiors up to 240. A
// raster wider than 4096 columns holds one river per 4096 columns, side by
// side; a smaller one holds one river scaled down, so that the share of zone
// stays about the same. The same size always gives the same rasters.
#pragma once

#include <cstdint>

#include "tests/scenarios/scenario.hpp"

Scenario make_sparse_river(int32_t nb_lig, int32_t nb_col);
