// channel: from GIS data to the channel's elevation model in one command,
// without the console dialog. The elevation model is read and scaled as
// import-dem reads it, the banks, the channel zone, the limiting contour line
// and the water bodies are burned onto its grid as import-mask burns them
// (channel_sources.hpp), and the very computation of the console program
// (compute_channel) runs in-process on them (channel_computation.hpp); each
// elevation is rounded as the console program's writer rounds it. So the
// values are those of the console route (import, dialog, export) with the
// same scale, pixel for pixel.
//
// Outputs (channel_outputs.hpp): the channel's elevations, nodata outside the
// channel zone; and, when asked, the model itself with the channel burned in.
// A summary on standard output ends the command.
#pragma once

#include "gis/channel_options.hpp"
#include "gis/command_context.hpp"

void channel_command(const ChannelOptions& options, CommandContext& context);
