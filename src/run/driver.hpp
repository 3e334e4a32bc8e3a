#pragma once

#include "console.hpp"
#include "run_state.hpp"

// One complete run; returns the process exit status.
int run_program(Run& run, Console& console);
