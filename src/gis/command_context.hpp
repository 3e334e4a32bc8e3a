// What every command gets besides its own options: where its progress and
// warnings go, whether existing outputs may be replaced (--overwrite), and
// where a command that ends with a summary prints it.
#pragma once

#include <cstdio>

#include "gis/progress.hpp"
#include "gis/warnings.hpp"

struct CommandContext {
    Progress& progress;
    Warnings& warnings;
    bool overwrite = false;
    std::FILE* summary = nullptr;  // standard output; nullptr with -q
};
