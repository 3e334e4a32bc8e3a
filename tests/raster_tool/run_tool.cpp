#include "run_tool.hpp"

BinaryRun run_tool(const std::vector<std::string>& arguments, const std::string& work_dir) {
    return run_child({raster_tool_binary(), arguments, work_dir, "", {}, 0});
}
