#pragma once

#include "console/console.hpp"

// The start banner: the framed title, two credit lines and the tool's purpose.
void show_banner(Console& console);
