// The five stages of a run, in the order the driver calls them.
#pragma once

#include "console.hpp"
#include "run_state.hpp"

// Input dialog and file opening: banner, names, every pair opened and
// size-checked, result pair created, grids allocated.
Outcome opening(Run& run, Console& console);
// Grey tones and heights.
Outcome parameters(Run& run, Console& console);
// Every raw input file read line by line into its grid, then closed.
Outcome lecture(Run& run, Console& console);
// The seven-pass channel elevation computation.
Outcome treatment(Run& run, Console& console);
// Rounding, result raster and descriptor.
Outcome save(Run& run, Console& console);
