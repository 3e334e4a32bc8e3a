// The commands of lorvantide-raster: their words, options, help and the
// function that runs each. A new command is one more entry here.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gis/arguments.hpp"
#include "gis/command_context.hpp"

struct CommandDef {
    std::string name;
    std::vector<std::string> positional;  // as the messages name them ("SRC", "DIR/NOMBRE")
    std::vector<OptionDef> options;      // its own, besides the common ones
    const char* help;                     // what `lorvantide-raster NAME --help` prints first
    std::function<void(const CommandLine&, CommandContext&)> run;
};

const std::vector<CommandDef>& command_table();

// Options every command takes: -q, --overwrite, --config KEY VALUE.
const std::vector<OptionDef>& common_options();
extern const char* const kCommonOptionsHelp;
