// Runs lorvantide-raster as a user would, with arguments, and captures both
// output streams and the exit status.
#pragma once

#include <string>
#include <vector>

#include "run_binary.hpp"

BinaryRun run_tool(const std::vector<std::string>& arguments, const std::string& work_dir = ".");

inline std::string raster_tool_binary() { return RASTER_TOOL_BINARY; }
