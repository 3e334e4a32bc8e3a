// What a scenario asks of the searches: the share of channel pixels, and how
// far they lie from the limiting contour line and from the lower boundary
// (railing, and water-body shores when present), as Euclidean distances
// between pixel centres.
#pragma once

#include <cstdint>
#include <string>

#include "tests/scenarios/scenario.hpp"

struct DistanceSummary {
    double mean = 0;
    int64_t median = 0, p95 = 0, max = 0;  // whole pixels, rounded down
    int64_t unreached = 0;                 // channel pixels with no such pixel in the raster
};

struct ScenarioStats {
    int64_t channel = 0;  // channel pixels
    int64_t lattice = 0;  // of them on every fourth column of every fourth line (pass-1 searches)
    double share = 0;     // channel pixels / pixels
    DistanceSummary contour, boundary;
};

ScenarioStats scenario_stats(const Scenario& scenario);

// One line of text: the share and both distance summaries.
std::string describe(const ScenarioStats& stats);
