#pragma once

#include "compute/channel.hpp"
#include "console/stage.hpp"

// The run's loaded grids as the computation takes them.
ChannelInputs channel_inputs(const Run& run);

// The computing stage of the console run: the loaded grids and the answers
// handed to compute_channel (channel.hpp) for the whole raster, its pass
// headings and progress lines printed on the console, and a warning when
// searches met nothing within 1500 pixels.
Outcome treatment(Run& run, Console& console);
