// The ring searches on a scenario's pass-1 channel pixels: the literal and
// the fast search on the same random sample (both searches of each), checked
// identical, with their time per search and ratio; then every pass-1 search
// in the stage's order, on one thread and shared among the threads.
#pragma once

#include <cstddef>

#include "tests/scenarios/scenario.hpp"

// `sample` pixels for the literal comparison (0: no literal search).
void check_searches(const Scenario& scenario, std::size_t sample);
