// What each raster pair of a run is: its kind, the question that names it and,
// for a mask, the message when its size is not the slope model's. The dialog,
// the loader, the writer and the clash checks all go through this one table.
#pragma once

#include <span>

#include "files/raster_pair.hpp"
#include "console/run_state.hpp"

struct RoleText {
    PairKind kind;
    const char* prompt;        // printed before the name is read (the result's is asked by result_pair.cpp)
    const char* size_message;  // masks only: printed when the size differs from the slope model's
};

const RoleText& role_text(Role role);

// The input pairs of a run, in the order they are opened and read: slope
// model, railing, channel zone, contour line, and the perimeter with water bodies.
std::span<const Role> input_roles(const Run& run);
