#include "gis/companion_outputs.hpp"

#include <sys/stat.h>

#include <filesystem>

#include "files/atomic_outputs.hpp"
#include "files/signal_cleanup.hpp"
#include "gis/tool_error.hpp"

namespace fs = std::filesystem;

void refuse_companions_over_inputs(const std::string& target, const std::string& temporary,
                                   const std::vector<ProtectedInput>& inputs) {
    std::string resolved;
    if (inputs.empty() || !follow_links(target, resolved)) return;
    const fs::path beside = fs::path(resolved).parent_path();
    const fs::path written = fs::path(temporary).parent_path();
    std::error_code error;
    for (fs::directory_iterator entry(written, error), end; !error && entry != end; entry.increment(error)) {
        if (entry->path().filename() == kFolderLock) continue;  // the folder's own, never moved
        const fs::path destination = beside / entry->path().filename();
        struct stat status {};
        if (::stat(destination.c_str(), &status) != 0) continue;
        for (const auto& [input, identity] : inputs)
            if (identity.first == status.st_dev && identity.second == status.st_ino)
                throw ToolError("la salida " + target + " escribiria tambien " + destination.string() +
                                ", que es una entrada de la orden (" + input + "): elija otro nombre");
    }
}
