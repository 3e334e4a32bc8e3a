#pragma once

#include <span>

#include "stage.hpp"

// One run: the stages in their order, until one does not go on. Returns the
// process exit status: 0 when every stage went on or after a fatal stop (once
// its key was pressed), 1 after a failure.
int run_program(Run& run, Console& console, std::span<const Stage> stages);
