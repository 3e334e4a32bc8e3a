// Step 4 of drainage.hpp: the closed depressions of the zone breached or
// filled, so that every free pixel has a strictly lower neighbour on a path
// down to a pixel that drains. What each step guarantees and why is stated
// there; here, what the step is told.
#pragma once

#include <cstdint>
#include <vector>

#include "hydrology/drainage_inputs.hpp"

// What each pixel is to the step.
enum class DrainRole : uint8_t {
    closed,  // never entered: no data outside the zone
    free,    // may be breached or raised
    drain,   // water leaves there; never changed (river, lakes, terrain outside, the raster's edge)
};

// `lowest[k]` is the least value a free pixel may be lowered to (minus
// infinity where nothing holds it).
void drain_depressions(Raster<double>& surface, const std::vector<DrainRole>& roles, const std::vector<double>& lowest,
                       const ValueLattice& lattice, DrainageReport& report);
