#pragma once

#include <span>

#include "console/stage.hpp"

// One run: the stages in their order, until one does not go on. Returns the
// process exit status: 0 when every stage went on (the result pair is
// written), 1 after a fatal stop (once its key was pressed) or a failure. A
// stage that runs out of memory (std::bad_alloc) fails with kNoMemory.
int run_program(Run& run, Console& console, std::span<const Stage> stages);
