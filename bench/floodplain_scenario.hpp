// A deterministic floodplain, generated in memory into a run record: a
// meandering river whose two banks are the railing, a floodplain 100 to 600
// pixels wide on each side up to a limiting contour line on each side, a few
// lakes whose shores are water-body perimeters, and a slope model that
// descends along the valley with noise. A raster wider than 4096 columns holds
// one such valley per 4096 columns, side by side; a smaller one holds one
// valley scaled down. The same size always gives the same rasters.
#pragma once

#include <cstdint>

#include "run_state.hpp"

struct ScenarioTones {
    int32_t cauce = 200;  // channel zone
    int32_t bar = 1;      // railing (river banks)
    int32_t lim = 10;     // limiting contour line
    int32_t perim = 50;   // lake shores
    int32_t alti_bar = 150;
    int32_t alti_lim = 62000;
};

// Allocates and fills every input grid of `run` (and dtab, itab_out), sets the
// size and the parameters. False when a grid cannot be allocated.
bool make_floodplain(Run& run, int32_t nb_lig, int32_t nb_col, const ScenarioTones& tones = {});
