#include "hydrology/drainage.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include "hydrology/depressions.hpp"
#include "hydrology/river_network.hpp"

namespace {

constexpr int32_t kFar = std::numeric_limits<int32_t>::max();

bool has_data(const DrainageInputs& inputs, std::size_t k) {
    return inputs.terrain_valid.empty() || inputs.terrain_valid[k] != 0;
}

// Each zone pixel's distance in D8 steps to the nearest pixel outside the
// zone with data (kFar beyond `reach`).
std::vector<int32_t> steps_to_terrain(const DrainageInputs& inputs, int32_t reach) {
    const Raster<uint8_t>& zone = inputs.zone;
    std::vector<int32_t> steps(zone.size(), kFar);
    std::vector<std::size_t> front;
    for (std::size_t k = 0; k < zone.size(); ++k)
        if (!marked(zone, k) && has_data(inputs, k)) {
            steps[k] = 0;
            front.push_back(k);
        }
    for (int32_t d = 1; d <= reach && !front.empty(); ++d) {
        std::vector<std::size_t> next;
        for (std::size_t k : front)
            for_each_neighbour(zone, k, [&](std::size_t n, const Step&) {
                if (marked(zone, n) && steps[n] == kFar) {
                    steps[n] = d;
                    next.push_back(n);
                }
            });
        front.swap(next);
    }
    return steps;
}

// Step 1: the channel in the zone, blended into the terrain near its edge.
Raster<double> blended_channel(const DrainageInputs& inputs, const DrainageParameters& parameters) {
    Raster<double> surface = inputs.terrain;
    const int32_t width = std::max(parameters.blend_width, 0);
    const std::vector<int32_t> steps = steps_to_terrain(inputs, width);
    for (std::size_t k = 0; k < surface.size(); ++k) {
        if (!marked(inputs.zone, k)) continue;
        double value = inputs.channel[k];
        if (steps[k] <= width && has_data(inputs, k)) {
            const double share = static_cast<double>(steps[k] - 1) / static_cast<double>(width);
            value = inputs.terrain[k] + (value - inputs.terrain[k]) * share;
        }
        surface[k] = parameters.lattice.nearest(value);
    }
    return surface;
}

}  // namespace

Raster<double> drained_dem(const DrainageInputs& inputs, const DrainageParameters& parameters,
                           DrainageReport& report) {
    report = DrainageReport{};
    const ValueLattice& lattice = parameters.lattice;
    Raster<double> surface = blended_channel(inputs, parameters);

    const RiverNetwork network(inputs.terrain, inputs.zone, inputs.river, inputs.lakes);
    network.set_profile(inputs, parameters, surface, report);

    // Step 3, and the roles of step 4: a free pixel beside the river may not
    // go below one step above its highest river neighbour.
    const Raster<uint8_t>& zone = inputs.zone;
    std::vector<DrainRole> roles(zone.size(), DrainRole::closed);
    std::vector<double> lowest(zone.size(), -std::numeric_limits<double>::infinity());
    for (std::size_t k = 0; k < zone.size(); ++k) {
        if (!marked(zone, k)) {
            if (has_data(inputs, k)) roles[k] = DrainRole::drain;
            continue;
        }
        if (network.node_of(k) >= 0) {
            roles[k] = DrainRole::drain;
            continue;
        }
        bool drains = on_raster_edge(zone, k);
        bool beside_terrain = false;
        for_each_neighbour(zone, k, [&](std::size_t n, const Step&) {
            if (network.node_of(n) >= 0) lowest[k] = std::max(lowest[k], lattice.above(surface[n]));
            if (!marked(zone, n)) (has_data(inputs, n) ? beside_terrain : drains) = true;
        });
        // A breach never cuts below the terrain where the zone meets it.
        if (beside_terrain && parameters.blend_width > 0 && has_data(inputs, k))
            lowest[k] = std::max(lowest[k], lattice.nearest(inputs.terrain[k]));
        surface[k] = std::max(surface[k], lowest[k]);
        roles[k] = drains ? DrainRole::drain : DrainRole::free;
    }

    drain_depressions(surface, roles, lowest, lattice, report);
    return surface;
}
