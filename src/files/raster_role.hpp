// The raster pairs of a channel run, in the order the dialog asks for them:
// the inputs, then the result. The console run keeps one file pair per role;
// the checks of an input name the mask they refuse by its role.
#pragma once

#include <cstddef>

enum class Role : std::size_t { slope, railing, zone, contour, perimeter, result };
inline constexpr std::size_t kRoleCount = 6;
