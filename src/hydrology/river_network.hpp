// The river of the zone as a network of nodes, and its profile (step 2 of
// drainage.hpp, where the profile and why it descends are stated).
#pragma once

#include <cstdint>
#include <vector>

#include "hydrology/drainage.hpp"

class RiverNetwork {
public:
    // The river's pixels in the zone, one node each, and each lake (its
    // 8-connected pixels in the zone) as one node.
    explicit RiverNetwork(const DrainageInputs& inputs);

    // -1 for a pixel off the network.
    int32_t node_of(std::size_t k) const { return node_of_[k]; }

    // Sets the profile of every node into `surface` (and counts into the report).
    void set_profile(const DrainageInputs& inputs, const DrainageParameters& parameters, Raster<double>& surface,
                     DrainageReport& report) const;

private:
    struct Node {
        std::vector<std::size_t> pixels;
        bool lake = false;
    };
    std::vector<int32_t> node_of_;
    std::vector<Node> nodes_;
    std::vector<std::vector<int32_t>> next_to_;  // each node's neighbours
};
