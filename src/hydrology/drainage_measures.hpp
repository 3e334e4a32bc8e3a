// The figures a conditioned model is judged by as a hydrologist would judge
// it (flow directions, fill): how much of the river its own steepest descent
// (D8) keeps on the river, whether the river rises anywhere on its way to its
// outlet, the closed depressions and flats left in the zone, and how the zone
// meets the terrain at its edge. They read the model as written, on any
// model, drained or not, so the same figures are taken before and after.
#pragma once

#include <cstdint>

#include "hydrology/raster.hpp"

struct DrainageMeasures {
    int64_t river_pixels = 0;  // river pixels of the zone, lakes aside
    int64_t along_river = 0;   // ... whose steepest descent is to the river or a lake, or out at the outlet
    int64_t rises = 0;         // ... higher than the river pixel before them on the way to the outlet
    int64_t depressions = 0;   // closed depressions whose lowest pixel is in the zone, lakes aside
    int64_t flats = 0;         // zone pixels, lakes aside, with no lower neighbour and no way off the raster
    double edge_step = 0.0;          // the largest step from a zone pixel to a neighbour with data outside the zone
    double terrain_edge_step = 0.0;  // ... the same pairs of pixels in the terrain
    int64_t edge_pixels = 0;         // zone pixels beside the terrain outside
    int64_t edge_beyond_relief = 0;  // ... further from the terrain than its largest step to a neighbour
};

// `surface` is the model judged, `terrain` the model before the channel;
// each `valid` is 0 where its model has no data (empty: every pixel has
// data). The river's way down to its outlets is the pass's own, from the
// terrain and the masks (river_network.hpp), so before and after are judged
// along the same way.
DrainageMeasures measure_drainage(const Raster<double>& surface, const Raster<uint8_t>& valid,
                                  const Raster<double>& terrain, const Raster<uint8_t>& terrain_valid,
                                  const Raster<uint8_t>& zone, const Raster<uint8_t>& river,
                                  const Raster<uint8_t>& lakes);
