// lorvantide._raster: the channel command of lorvantide-raster, in-process,
// behind lorvantide.channel_files (lorvantide/_gis.py turns its keywords into
// the command's words and checks them first, in English).
//
// The command is run through its entry in the command table, from the very
// words its command line takes, so the module follows the command as it
// grows. What the command line's driver does around it is done here the way
// a library inside another program must: GDAL's messages go to a handler of
// this thread only, --config options are set for this thread only and put
// back, nothing is printed (the warnings are returned; the summary is not
// made), and SIGINT stays Python's: it stops the command through its
// progress, which then gives its outputs up as on any failure.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <exception>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "files/signal_cleanup.hpp"
#include "gis/command_table.hpp"
#include "gis/tool_error.hpp"
#include "python/interruption.hpp"

namespace py = pybind11;

namespace {

const CommandDef& channel_entry() {
    for (const CommandDef& command : command_table())
        if (command.name == "channel") return command;
    throw std::logic_error("lorvantide-raster has no channel command");
}

std::vector<OptionDef> channel_options() {
    std::vector<OptionDef> options = channel_entry().options;
    options.insert(options.end(), common_options().begin(), common_options().end());
    return options;
}

class ListenedProgress final : public ProgressListener {
public:
    explicit ListenedProgress(PythonInterruption& interruption) : interruption_(interruption) {}
    bool share_done(double share) override { return !interruption_.check(share); }

private:
    PythonInterruption& interruption_;
};

// GDAL's warnings, kept among the command's own while it runs on this
// thread; its errors stay GDAL's last error, which the command's messages quote.
class GdalWarnings {
public:
    explicit GdalWarnings(std::vector<std::string>& kept) { CPLPushErrorHandlerEx(keep, &kept); }
    ~GdalWarnings() { CPLPopErrorHandler(); }
    GdalWarnings(const GdalWarnings&) = delete;
    GdalWarnings& operator=(const GdalWarnings&) = delete;

private:
    static void keep(CPLErr level, CPLErrorNum, const char* text) {
        if (level != CE_Warning) return;
        static_cast<std::vector<std::string>*>(CPLGetErrorHandlerUserData())->push_back(std::string("GDAL: ") + text);
    }
};

// GDAL configuration options of this thread, put back as they were when it ends.
class ThreadConfig {
public:
    explicit ThreadConfig(const std::map<std::string, std::string>& options) {
        for (const auto& [key, value] : options) {
            const char* before = CPLGetThreadLocalConfigOption(key.c_str(), nullptr);
            saved_.emplace_back(key, before != nullptr ? std::optional<std::string>(before) : std::nullopt);
            CPLSetThreadLocalConfigOption(key.c_str(), value.c_str());
        }
    }
    ~ThreadConfig() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            CPLSetThreadLocalConfigOption(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    }
    ThreadConfig(const ThreadConfig&) = delete;
    ThreadConfig& operator=(const ThreadConfig&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Runs `channel` with `words` (its options, as on its command line). Returns
// the command's reason when it failed (None when every output was written)
// and its warnings. The exception that stopped it, raised by `progress` or
// by a signal handler, is raised instead.
py::tuple channel(const std::vector<std::string>& words, const std::map<std::string, std::string>& config,
                  const py::object& progress) {
    std::optional<std::string> failure;
    std::vector<std::string> warnings;
    PythonInterruption interruption(progress);
    {
        py::gil_scoped_release released;
        ListenedProgress listener(interruption);
        const ThreadConfig thread_config(config);
        GDALAllRegister();
        const GdalWarnings gdal_warnings(warnings);
        try {
            const CommandLine line = parse_arguments(words, channel_options());
            Progress line_progress(nullptr, false);
            line_progress.listen(&listener);
            Warnings command_warnings([&warnings](const std::string& text) { warnings.push_back(text); });
            CommandContext context{line_progress, command_warnings, line.has("--overwrite"), nullptr};
            channel_entry().run(line, context);
        } catch (const ToolError& error) {
            failure = error.what();
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& error) {
            failure = std::string("channel no pudo terminar: ") + error.what();
        }
    }
    interruption.raise_if_stopped();
    return py::make_tuple(failure ? py::cast(*failure) : py::none(), warnings);
}

std::vector<std::string> option_names() {
    std::vector<std::string> names;
    for (const OptionDef& option : channel_options()) names.push_back(option.name);
    return names;
}

}  // namespace

PYBIND11_MODULE(_raster, module) {
    module.doc() = "lorvantide-raster channel in-process; use lorvantide.channel_files.";
    // SIGINT is Python's KeyboardInterrupt, which stops the command cleanly;
    // SIGTERM and SIGHUP, left to their default, still remove the temporaries.
    leave_handled_signals_to_host();
    module.def("channel", &channel, py::arg("words"), py::arg("config"), py::arg("progress"),
               "(the command's reason when it failed or None, its warnings)");
    module.def("option_names", &option_names, "The options the channel command takes, as its command line spells them.");
}
