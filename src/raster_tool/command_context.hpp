// What every command gets besides its own options: where its progress and
// warnings go, and whether existing outputs may be replaced (--overwrite).
#pragma once

#include "progress.hpp"
#include "warnings.hpp"

struct CommandContext {
    Progress& progress;
    Warnings& warnings;
    bool overwrite = false;
};
