// The five stages of a console run, in the order the driver calls them.
#pragma once

#include <array>

#include "console/stage.hpp"
#include "console/treatment_stage.hpp"

// Input dialog and file opening: banner, names, every pair opened and
// size-checked, result pair created, grids allocated.
Outcome opening(Run& run, Console& console);
// Grey tones and heights.
Outcome parameters(Run& run, Console& console);
// Every raw input file read line by line into its grid, then closed.
Outcome lecture(Run& run, Console& console);
// treatment (treatment_stage.hpp): the seven-pass channel computation.
// Rounding, result raster and descriptor.
Outcome save(Run& run, Console& console);

inline constexpr std::array<Stage, 5> kConsoleStages = {opening, parameters, lecture, treatment, save};
