// The command line of one sub-command: positional words, options that take a
// value ("--scale 100" or "--scale=100") and flags ("-q", "--all-touched").
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct OptionSet {
    std::vector<std::string> with_value;
    std::vector<std::string> flags;
};

struct CommandLine {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    bool has(const std::string& name) const { return flags.count(name) != 0 || values.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
};

// Unknown options, a missing value or a repeated option are errors: a typo
// must never silently fall back to a default.
CommandLine parse_arguments(const std::vector<std::string>& words, const OptionSet& options);

// Whole-word numbers only ("12abc" is refused); `option` names the culprit.
double parse_number(const std::string& option, const std::string& text);
int32_t parse_int32(const std::string& option, const std::string& text);
