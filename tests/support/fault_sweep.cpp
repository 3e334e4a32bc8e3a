#include "tests/support/fault_sweep.hpp"

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_folder.hpp"

Environment fault_environment(const std::string& shim, const std::string& fault, int signal) {
    const char* asan = std::getenv("ASAN_OPTIONS");  // the shim comes before the sanitizer's runtime
    Environment env = {{"LD_PRELOAD", shim},
                       {"IO_FAULT", fault},
                       {"ASAN_OPTIONS", std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0"}};
    if (signal != 0) env["IO_FAULT_SIGNAL"] = std::to_string(signal);
    return env;
}

int sweep_calls(const std::string& shim, const std::string& kind, const std::string& pattern, int signal,
                const std::function<void(const std::string& fault, const Environment& env)>& each) {
    const TempFolder scratch;
    const std::string reached = scratch / "reached";
    for (int n = 1; n <= 400; ++n) {
        const std::string fault = kind + ":" + std::to_string(n) + ":" + pattern;
        Environment env = fault_environment(shim, fault, signal);
        env["IO_FAULT_REPORT"] = reached;
        std::filesystem::remove(reached);
        each(fault, env);
        if (!std::filesystem::exists(reached)) return n - 1;
    }
    return 400;
}
