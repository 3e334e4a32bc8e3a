#include "hydrology/river_network.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <queue>
#include <tuple>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool has_data(const DrainageInputs& inputs, std::size_t k) {
    return inputs.terrain_valid.empty() || inputs.terrain_valid[k] != 0;
}

}  // namespace

RiverNetwork::RiverNetwork(const Raster<double>& terrain, const Raster<uint8_t>& zone, const Raster<uint8_t>& river,
                           const Raster<uint8_t>& lakes)
    : lines_(zone.lines), columns_(zone.columns), node_of_(zone.size(), -1) {
    // Lakes first: each 8-connected piece of lake in the zone is one node.
    for (std::size_t k = 0; k < zone.size(); ++k) {
        if (!marked(zone, k) || !marked(lakes, k) || node_of_[k] >= 0) continue;
        const auto id = static_cast<int32_t>(nodes_.size());
        nodes_.push_back({{k}, true});
        node_of_[k] = id;
        for (std::size_t next = 0; next < nodes_.back().pixels.size(); ++next)
            for_each_neighbour(zone, nodes_.back().pixels[next], [&](std::size_t n, const Step&) {
                if (marked(zone, n) && marked(lakes, n) && node_of_[n] < 0) {
                    node_of_[n] = id;
                    nodes_.back().pixels.push_back(n);
                }
            });
    }
    for (std::size_t k = 0; k < zone.size(); ++k)
        if (marked(zone, k) && marked(river, k) && node_of_[k] < 0) {
            node_of_[k] = static_cast<int32_t>(nodes_.size());
            nodes_.push_back({{k}, false});
        }
    const std::size_t count = nodes_.size();
    next_to_.resize(count);
    std::vector<double> ground(count, kInfinity);
    std::vector<std::size_t> last_pixel(count, 0);
    std::vector<uint8_t> on_edge(count, 0);
    for (std::size_t id = 0; id < count; ++id) {
        std::vector<int32_t>& next = next_to_[id];
        for (std::size_t k : nodes_[id].pixels) {
            ground[id] = std::min(ground[id], terrain[k]);
            last_pixel[id] = std::max(last_pixel[id], k);
            // A way out: the raster's edge, or the river going on outside the zone.
            if (on_raster_edge(zone, k)) on_edge[id] = 1;
            for_each_neighbour(zone, k, [&](std::size_t n, const Step&) {
                if (!marked(zone, n) && (marked(river, n) || marked(lakes, n))) on_edge[id] = 1;
                if (node_of_[n] >= 0 && node_of_[n] != static_cast<int32_t>(id)) next.push_back(node_of_[n]);
            });
        }
        std::sort(next.begin(), next.end());
        next.erase(std::unique(next.begin(), next.end()), next.end());
    }

    // The Priority-Flood over the network: the lowest first, then the last in line order.
    using Waiting = std::tuple<double, std::size_t, int32_t>;  // level, count - last pixel, node
    std::priority_queue<Waiting, std::vector<Waiting>, std::greater<Waiting>> queue;
    const std::size_t far = zone.size();
    downstream_.assign(count, -1);
    std::vector<uint8_t> reached(count, 0);
    auto flood = [&] {
        while (!queue.empty()) {
            const auto [level, rank, id] = queue.top();
            queue.pop();
            order_.push_back(id);
            for (int32_t n : next_to_[static_cast<std::size_t>(id)]) {
                const auto u = static_cast<std::size_t>(n);
                if (reached[u]) continue;
                reached[u] = 1;
                downstream_[u] = id;
                queue.push({std::max(level, ground[u]), far - last_pixel[u], n});
            }
        }
    };
    for (std::size_t id = 0; id < count; ++id)
        if (on_edge[id]) {
            reached[id] = 1;
            queue.push({ground[id], far - last_pixel[id], static_cast<int32_t>(id)});
        }
    flood();
    // Pieces that never reach the edge: each from its lowest node.
    for (;;) {
        std::optional<std::size_t> lowest;
        for (std::size_t id = 0; id < count; ++id)
            if (!reached[id] && (!lowest || ground[id] < ground[*lowest] ||
                                 (ground[id] == ground[*lowest] && last_pixel[id] > last_pixel[*lowest])))
                lowest = id;
        if (!lowest) break;
        reached[*lowest] = 1;
        queue.push({ground[*lowest], far - last_pixel[*lowest], static_cast<int32_t>(*lowest)});
        flood();
    }
}

int64_t RiverNetwork::downstream_pixel(std::size_t k) const {
    const int32_t down = downstream_[static_cast<std::size_t>(node_of_[k])];
    if (down < 0) return -1;
    int64_t beside = -1;
    for_each_neighbour(lines_, columns_, k, [&](std::size_t n, const Step&) {
        if (beside < 0 && node_of_[n] == down) beside = static_cast<int64_t>(n);
    });
    return beside;
}

void RiverNetwork::set_profile(const DrainageInputs& inputs, const DrainageParameters& parameters,
                               Raster<double>& surface, DrainageReport& report) const {
    const ValueLattice& lattice = parameters.lattice;
    const Raster<uint8_t>& zone = inputs.zone;
    const std::size_t count = nodes_.size();

    // Each node's bed (its target), its ceiling, and the lowest terrain
    // outside the zone beside it where it is not on the raster's edge.
    std::vector<double> bed(count), ceiling(count), outside(count, kInfinity);
    for (std::size_t id = 0; id < count; ++id) {
        const Node& node = nodes_[id];
        double shore = kInfinity;
        double lowest_channel = kInfinity;
        bool at_raster_edge = false;
        for (std::size_t k : node.pixels) {
            if (has_data(inputs, k)) shore = std::min(shore, inputs.terrain[k]);
            lowest_channel = std::min(lowest_channel, inputs.channel[k]);
            at_raster_edge |= on_raster_edge(zone, k);
            for_each_neighbour(zone, k, [&](std::size_t n, const Step&) {
                if (!marked(zone, n) && has_data(inputs, n)) outside[id] = std::min(outside[id], inputs.terrain[n]);
            });
        }
        if (at_raster_edge) outside[id] = kInfinity;  // the water leaves off the raster
        if (node.lake) {
            // Flat at the lowest terrain of its pixels (of the channel on it where it has no terrain).
            bed[id] = ceiling[id] = lattice.at_most(shore != kInfinity ? shore : lowest_channel);
        } else {
            const std::size_t k = node.pixels.front();
            ceiling[id] = lattice.at_most(std::min(inputs.terrain[k], inputs.channel[k]));
            bed[id] = lattice.at_most(std::min(inputs.channel[k], inputs.terrain[k] - parameters.railing_height));
        }
    }

    // Ceiling and carved bed, from the sources down: each node at most one
    // step below every node upstream of it. A lake's bed is its ceiling: the
    // beds upstream, under its water, never lower it.
    std::vector<double> upper = ceiling, carved = bed;
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
        const auto u = static_cast<std::size_t>(*it);
        if (nodes_[u].lake) carved[u] = upper[u];
        const int32_t d = downstream_[u];
        if (d < 0) continue;
        const auto v = static_cast<std::size_t>(d);
        upper[v] = std::min(upper[v], lattice.below(upper[u]));
        carved[v] = std::min(carved[v], lattice.below(carved[u]));
    }
    // From each outlet up: at the outlet one step above the terrain outside,
    // above it one step above the node downstream.
    // An outlet is a node others drain to, or a piece alone; a way out that
    // nothing reaches is just where the river enters.
    std::vector<uint8_t> drained_to(count, 0);
    for (std::size_t id = 0; id < count; ++id)
        if (downstream_[id] >= 0) drained_to[static_cast<std::size_t>(downstream_[id])] = 1;
    std::vector<double> value(count);
    for (int32_t id : order_) {
        const auto u = static_cast<std::size_t>(id);
        const int32_t d = downstream_[u];
        double lowest = -kInfinity;
        if (d >= 0) {
            lowest = lattice.above(value[static_cast<std::size_t>(d)]);
        } else {
            report.outlets += drained_to[u] || next_to_[u].empty();
            if (outside[u] != kInfinity) {
                lowest = lattice.above(lattice.at_most(outside[u]));
                report.outlets_shut += lowest > upper[u];
            }
        }
        value[u] = std::min(upper[u], std::max(carved[u], lowest));
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
