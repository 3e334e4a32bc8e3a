// What each raster pair of a run is: its kind and the question that names it.
// The dialog, the loader, the writer and the clash checks all go through this
// one table.
#pragma once

#include <span>

#include "files/raster_pair.hpp"
#include "console/run_state.hpp"

struct RoleText {
    PairKind kind;
    const char* prompt;  // printed before the name is read (the result's is asked by result_pair.cpp)
};

const RoleText& role_text(Role role);

// The input pairs of a run, in the order they are opened and read: slope
// model, railing, channel zone, contour line, and the perimeter with water bodies.
std::span<const Role> input_roles(const Run& run);
