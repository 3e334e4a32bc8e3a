#include "hydrology/river_network.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool has_data(const DrainageInputs& inputs, std::size_t k) {
    return inputs.terrain_valid.empty() || inputs.terrain_valid[k] != 0;
}

}  // namespace

RiverNetwork::RiverNetwork(const DrainageInputs& inputs) : node_of_(inputs.zone.size(), -1) {
    const Raster<uint8_t>& zone = inputs.zone;
    // Lakes first: each 8-connected piece of lake in the zone is one node.
    for (std::size_t k = 0; k < zone.size(); ++k) {
        if (!marked(zone, k) || !marked(inputs.lakes, k) || node_of_[k] >= 0) continue;
        const auto id = static_cast<int32_t>(nodes_.size());
        nodes_.push_back({{k}, true});
        node_of_[k] = id;
        for (std::size_t next = 0; next < nodes_.back().pixels.size(); ++next)
            for_each_neighbour(zone, nodes_.back().pixels[next], [&](std::size_t n, const Step&) {
                if (marked(zone, n) && marked(inputs.lakes, n) && node_of_[n] < 0) {
                    node_of_[n] = id;
                    nodes_.back().pixels.push_back(n);
                }
            });
    }
    for (std::size_t k = 0; k < zone.size(); ++k)
        if (marked(zone, k) && marked(inputs.river, k) && node_of_[k] < 0) {
            node_of_[k] = static_cast<int32_t>(nodes_.size());
            nodes_.push_back({{k}, false});
        }
    next_to_.resize(nodes_.size());
    for (std::size_t id = 0; id < nodes_.size(); ++id) {
        std::vector<int32_t>& next = next_to_[id];
        for (std::size_t k : nodes_[id].pixels)
            for_each_neighbour(zone, k, [&](std::size_t n, const Step&) {
                if (node_of_[n] >= 0 && node_of_[n] != static_cast<int32_t>(id)) next.push_back(node_of_[n]);
            });
        std::sort(next.begin(), next.end());
        next.erase(std::unique(next.begin(), next.end()), next.end());
    }
}

void RiverNetwork::set_profile(const DrainageInputs& inputs, const DrainageParameters& parameters,
                               Raster<double>& surface, DrainageReport& report) const {
    const ValueLattice& lattice = parameters.lattice;
    const Raster<uint8_t>& zone = inputs.zone;
    const std::size_t count = nodes_.size();

    // Each node's bed (its target), its ceiling, whether it lies on the zone's
    // edge and the lowest terrain outside the zone beside it.
    std::vector<double> bed(count), ceiling(count), ground(count), outside(count, kInfinity);
    std::vector<uint8_t> on_edge(count, 0), at_raster_edge(count, 0);
    std::vector<std::size_t> last_pixel(count, 0);
    for (std::size_t id = 0; id < count; ++id) {
        const Node& node = nodes_[id];
        double shore = kInfinity;
        double lowest_channel = kInfinity;
        for (std::size_t k : node.pixels) {
            if (has_data(inputs, k)) shore = std::min(shore, inputs.terrain[k]);
            lowest_channel = std::min(lowest_channel, inputs.channel[k]);
            last_pixel[id] = std::max(last_pixel[id], k);
            if (on_raster_edge(zone, k)) on_edge[id] = at_raster_edge[id] = 1;
            for_each_neighbour(zone, k, [&](std::size_t n, const Step&) {
                if (marked(zone, n)) return;
                on_edge[id] = 1;
                if (has_data(inputs, n)) outside[id] = std::min(outside[id], inputs.terrain[n]);
            });
        }
        if (node.lake) {
            // Flat at the lowest terrain of its pixels, or of the channel on it where that is lower.
            const double level = lattice.at_most(std::min(shore, lowest_channel));
            bed[id] = ceiling[id] = level;
            ground[id] = kInfinity;
            for (std::size_t k : node.pixels) ground[id] = std::min(ground[id], inputs.terrain[k]);
        } else {
            const std::size_t k = node.pixels.front();
            ground[id] = inputs.terrain[k];
            ceiling[id] = lattice.at_most(std::min(inputs.terrain[k], inputs.channel[k]));
            bed[id] = lattice.at_most(std::min(inputs.channel[k], inputs.terrain[k] - parameters.railing_height));
        }
    }

    // The connected pieces, each walked from its outlet.
    std::vector<uint8_t> seen(count, 0);
    std::vector<int32_t> downstream(count, -1);
    std::vector<double> value(count), upper(count), carved(count), exit_level(count, -kInfinity);
    std::vector<uint8_t> reached(count, 0);
    for (std::size_t first = 0; first < count; ++first) {
        if (seen[first]) continue;
        std::vector<int32_t> piece{static_cast<int32_t>(first)};
        seen[first] = 1;
        for (std::size_t next = 0; next < piece.size(); ++next)
            for (int32_t n : next_to_[static_cast<std::size_t>(piece[next])])
                if (!seen[static_cast<std::size_t>(n)]) {
                    seen[static_cast<std::size_t>(n)] = 1;
                    piece.push_back(n);
                }
        // The outlet: the lowest terrain on the zone's edge, else the lowest
        // terrain; the last pixel in line order among equals.
        const bool leaves = std::any_of(piece.begin(), piece.end(),
                                        [&](int32_t id) { return on_edge[static_cast<std::size_t>(id)] != 0; });
        std::optional<int32_t> outlet;
        for (int32_t id : piece) {
            const auto u = static_cast<std::size_t>(id);
            if (leaves && !on_edge[u]) continue;
            if (!outlet) {
                outlet = id;
                continue;
            }
            const auto o = static_cast<std::size_t>(*outlet);
            if (ground[u] < ground[o] || (ground[u] == ground[o] && last_pixel[u] > last_pixel[o])) outlet = id;
        }
        // Breadth first from the outlet: the order upstream, each node's next downstream.
        std::vector<int32_t> order{*outlet};
        reached[static_cast<std::size_t>(*outlet)] = 1;
        for (std::size_t next = 0; next < order.size(); ++next)
            for (int32_t n : next_to_[static_cast<std::size_t>(order[next])])
                if (!reached[static_cast<std::size_t>(n)]) {
                    reached[static_cast<std::size_t>(n)] = 1;
                    downstream[static_cast<std::size_t>(n)] = order[next];
                    order.push_back(n);
                }

        // Ceiling and carved bed, from the sources down: each node at most one
        // step below every node upstream of it.
        for (int32_t id : order) {
            upper[static_cast<std::size_t>(id)] = ceiling[static_cast<std::size_t>(id)];
            carved[static_cast<std::size_t>(id)] = bed[static_cast<std::size_t>(id)];
        }
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            const auto u = static_cast<std::size_t>(*it);
            const int32_t d = downstream[u];
            if (d < 0) continue;
            const auto v = static_cast<std::size_t>(d);
            upper[v] = std::min(upper[v], lattice.below(upper[u]));
            carved[v] = std::min(carved[v], lattice.below(carved[u]));
        }
        // The exit, from the outlet up: one step above the terrain outside, and
        // one more per node (none needed where the outlet is on the raster's edge).
        const auto o = static_cast<std::size_t>(*outlet);
        const bool has_exit = outside[o] != kInfinity && at_raster_edge[o] == 0;
        if (has_exit && !(lattice.above(lattice.at_most(outside[o])) <= upper[o])) ++report.outlets_shut;
        for (int32_t id : order) {
            const auto u = static_cast<std::size_t>(id);
            const int32_t d = downstream[u];
            if (d < 0)
                exit_level[u] = has_exit ? lattice.above(lattice.at_most(outside[u])) : -kInfinity;
            else if (exit_level[static_cast<std::size_t>(d)] != -kInfinity)
                exit_level[u] = lattice.above(exit_level[static_cast<std::size_t>(d)]);
            value[u] = std::min(upper[u], std::max(carved[u], exit_level[u]));
        }
        ++report.rivers;
    }

    for (std::size_t id = 0; id < count; ++id) {
        const Node& node = nodes_[id];
        for (std::size_t k : node.pixels) surface[k] = value[id];
        if (node.lake) {
            ++report.lakes;
            report.lakes_lowered += value[id] < bed[id];
        } else {
            ++report.river_pixels;
            report.deepest_cut = std::max(report.deepest_cut, bed[id] - value[id]);
        }
    }
}
