// The river of the zone as a network of nodes, the way each node drains to an
// outlet, and the river's profile (step 2 of drainage.hpp, where the profile
// and why it descends are stated).
//
// The way down. Every node where the river leaves the zone (beside a river or
// lake pixel outside the zone, or on the raster's edge) is a way out; a bank
// that merely touches the zone's edge is not. A Priority-Flood over the network from
// all of them, the lowest terrain first (a lake by its lowest pixel; among
// equals the node whose last pixel comes last in line order), reaches every
// node from the neighbour through which the lowest path out passes: that
// neighbour is its next node downstream. The ways out reached first are the
// outlets; one reached from below is just where the river enters. A piece of
// network that never reaches the edge drains to its lowest node, by the same
// flood from there. The way down depends on the terrain and the masks alone,
// never on the channel.
#pragma once

#include <cstdint>
#include <vector>

#include "hydrology/drainage_inputs.hpp"

class RiverNetwork {
public:
    // The river's pixels in the zone, one node each, and each lake (its
    // 8-connected pixels in the zone) as one node; and the way down.
    RiverNetwork(const Raster<double>& terrain, const Raster<uint8_t>& zone, const Raster<uint8_t>& river,
                 const Raster<uint8_t>& lakes);

    // -1 for a pixel off the network.
    int32_t node_of(std::size_t k) const { return node_of_[k]; }
    // A pixel of the next node downstream beside pixel k (of the network), or -1 at an outlet.
    int64_t downstream_pixel(std::size_t k) const;

    // Sets the profile of every node into `surface` (and counts into the report).
    void set_profile(const DrainageInputs& inputs, const DrainageParameters& parameters, Raster<double>& surface,
                     DrainageReport& report) const;

private:
    struct Node {
        std::vector<std::size_t> pixels;
        bool lake = false;
    };
    int32_t lines_ = 0;
    int32_t columns_ = 0;
    std::vector<int32_t> node_of_;
    std::vector<Node> nodes_;
    std::vector<std::vector<int32_t>> next_to_;  // each node's neighbours
    std::vector<int32_t> downstream_;            // each node's next node downstream; -1 for an outlet
    std::vector<int32_t> order_;                 // every node after the one downstream of it
};
