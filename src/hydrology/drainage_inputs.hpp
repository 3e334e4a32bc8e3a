// What the draining pass (drainage.hpp) reads, how it is told to work, and
// what it reports.
#pragma once

#include <cstdint>

#include "hydrology/raster.hpp"
#include "hydrology/value_lattice.hpp"

struct DrainageInputs {
    const Raster<double>& terrain;        // the model; in its holes a stand-in (see terrain_valid)
    const Raster<uint8_t>& terrain_valid;  // 0 where the model has no data; empty: every pixel has data
    const Raster<double>& channel;        // the burned channel; read in the zone only
    const Raster<uint8_t>& zone;
    const Raster<uint8_t>& river;
    const Raster<uint8_t>& lakes;  // empty: no lakes
};

struct DrainageParameters {
    double railing_height = 0.0;  // how far the bed lies below the banks, in the terrain's units
    int32_t blend_width = 3;      // pixels; 0 blends nothing
    ValueLattice lattice;         // the values the output can hold
};

struct DrainageReport {
    int64_t river_pixels = 0;    // of the river in the zone, lakes aside
    int64_t outlets = 0;         // nodes where the river drains out of the zone (or to, in a closed piece)
    int64_t lakes = 0;
    int64_t lakes_lowered = 0;   // below their shore level by an inflowing river
    int64_t outlets_shut = 0;    // outlets that could not be set above the terrain outside them
    double deepest_cut = 0.0;    // the most a river pixel lies below its bed value
    int64_t depressions = 0;     // closed depressions found in the zone (step 4)
    int64_t breached = 0;        // ... of them breached
    int64_t raised = 0;          // pixels raised by the last fill
    double highest_raise = 0.0;  // the most one was raised
};
