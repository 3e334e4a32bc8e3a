// What every command gets besides its own options: where its progress and
// warnings go, whether existing outputs may be replaced (--overwrite), and
// where a command that ends with a summary prints it.
#pragma once

#include <cstdio>

#include "gis/progress.hpp"
#include "windows/processes.hpp"
#include "gis/warnings.hpp"

struct CommandContext {
    Progress& progress;
    Warnings& warnings;
    bool overwrite = false;
    std::FILE* summary = nullptr;  // standard output; nullptr with -q
    // The processes of the run: this one alone, or, under mpirun, every
    // rank, among which channel shares its tiles (the others refuse to run).
    Processes* processes = nullptr;
};
