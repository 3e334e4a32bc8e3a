#include "hydrology/drainage_measures.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <utility>
#include <vector>

#include "hydrology/river_network.hpp"

namespace {

bool holds(const Raster<uint8_t>& valid, std::size_t k) { return valid.empty() || valid[k] != 0; }

struct Judged {
    const Raster<double>& z;
    const Raster<uint8_t>& valid;
    const Raster<double>& terrain;
    const Raster<uint8_t>& terrain_valid;
    const Raster<uint8_t>& zone;
    const Raster<uint8_t>& river;
    const Raster<uint8_t>& lakes;

    bool in_zone(std::size_t k) const { return marked(zone, k); }
    bool lake(std::size_t k) const { return in_zone(k) && marked(lakes, k); }
    bool network(std::size_t k) const { return in_zone(k) && (marked(river, k) || marked(lakes, k)); }
    // Water leaves the model here: its edge, or beside a pixel without data.
    bool open(std::size_t k) const {
        bool beside_hole = false;
        for_each_neighbour(z, k, [&](std::size_t n, const Step&) { beside_hole |= !holds(valid, n); });
        return beside_hole || on_raster_edge(z, k);
    }
};

// The closed depressions of the whole model (a plain Priority-Flood fill from
// where water leaves it) whose lowest pixel is in the zone and off the lakes.
int64_t zone_depressions(const Judged& m) {
    const Raster<double>& z = m.z;
    using Waiting = std::pair<double, std::size_t>;
    std::priority_queue<Waiting, std::vector<Waiting>, std::greater<Waiting>> queue;
    std::vector<double> level = z.values;
    std::vector<uint8_t> visited(z.size(), 0);
    for (std::size_t k = 0; k < z.size(); ++k)
        if (holds(m.valid, k) && m.open(k)) {
            visited[k] = 1;
            queue.push({z[k], k});
        }
    while (!queue.empty()) {
        const double value = queue.top().first;  // named, not bound: clang 14 cannot capture bindings
        const std::size_t k = queue.top().second;
        queue.pop();
        for_each_neighbour(z, k, [&](std::size_t n, const Step&) {
            if (visited[n] || !holds(m.valid, n)) return;
            visited[n] = 1;
            level[n] = std::max(z[n], value);
            queue.push({level[n], n});
        });
    }
    int64_t count = 0;
    std::vector<uint8_t> seen(z.size(), 0);
    for (std::size_t k = 0; k < z.size(); ++k) {
        if (seen[k] || !(level[k] > z[k])) continue;
        std::vector<std::size_t> pixels{k};
        seen[k] = 1;
        std::size_t lowest = k;
        for (std::size_t p = 0; p < pixels.size(); ++p)
            for_each_neighbour(z, pixels[p], [&](std::size_t n, const Step&) {
                if (seen[n] || !holds(m.valid, n) || !(level[n] > z[n])) return;
                seen[n] = 1;
                pixels.push_back(n);
                if (z[n] < z[lowest]) lowest = n;
            });
        count += m.in_zone(lowest) && !m.lake(lowest);
    }
    return count;
}

}  // namespace

DrainageMeasures measure_drainage(const Raster<double>& surface, const Raster<uint8_t>& valid,
                                  const Raster<double>& terrain, const Raster<uint8_t>& terrain_valid,
                                  const Raster<uint8_t>& zone, const Raster<uint8_t>& river,
                                  const Raster<uint8_t>& lakes) {
    const Judged m{surface, valid, terrain, terrain_valid, zone, river, lakes};
    const Raster<double>& z = surface;
    DrainageMeasures measures;
    const RiverNetwork network(terrain, zone, river, lakes);

    for (std::size_t k = 0; k < z.size(); ++k) {
        if (!m.in_zone(k) || !holds(valid, k)) continue;
        // The steepest descent, and whether it is to the network or out of the zone.
        double steepest = 0.0, steepest_network = 0.0, steepest_outside = 0.0;
        double relief = 0.0;
        bool beside_terrain = false;
        for_each_neighbour(z, k, [&](std::size_t n, const Step& step) {
            if (!holds(valid, n)) return;
            const double slope = (z[k] - z[n]) / step.length;
            steepest = std::max(steepest, slope);
            if (m.network(n)) steepest_network = std::max(steepest_network, slope);
            if (!m.in_zone(n)) steepest_outside = std::max(steepest_outside, slope);
            if (holds(terrain_valid, k) && holds(terrain_valid, n)) relief = std::max(relief, std::fabs(terrain[k] - terrain[n]));
            if (!m.in_zone(n)) {
                beside_terrain = true;
                measures.edge_step = std::max(measures.edge_step, std::fabs(z[k] - z[n]));
                if (holds(terrain_valid, k) && holds(terrain_valid, n))
                    measures.terrain_edge_step =
                        std::max(measures.terrain_edge_step, std::fabs(terrain[k] - terrain[n]));
            }
        });
        if (beside_terrain && holds(terrain_valid, k)) {
            ++measures.edge_pixels;
            measures.edge_beyond_relief += std::fabs(z[k] - terrain[k]) > relief;
        }
        const bool lower = steepest > 0.0;
        // Ties go to the river: a D8 that meets two equal descents may take either.
        const bool to_network = lower && steepest_network == steepest;
        const bool out_of_zone = lower && steepest_outside == steepest;
        if (m.lake(k)) continue;
        if (!lower && !m.open(k)) ++measures.flats;
        if (!m.network(k)) continue;
        ++measures.river_pixels;
        const int64_t next = network.downstream_pixel(k);
        const bool out = next < 0 && (out_of_zone || (!lower && m.open(k)));
        measures.along_river += (lower && to_network) || out;
        if (next >= 0 && z[static_cast<std::size_t>(next)] > z[k]) ++measures.rises;
    }
    measures.depressions = zone_depressions(m);
    return measures;
}
