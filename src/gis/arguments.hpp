// The command line of one sub-command, as GDAL's utilities take theirs:
// positional words, flags ("-q", "--overwrite"), options with one value
// ("-of GTiff", "--scale 100" or "--scale=100"), options with several
// ("--config KEY VALUE", "-tr 5 5"), and options that may be repeated
// ("-co COMPRESS=DEFLATE -co TILED=YES").
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct OptionDef {
    std::string name;
    int values = 0;           // words taken after the name; 0 for a flag
    bool repeatable = false;
    std::string alias = {};   // another spelling of the same option ("--format" for "-of")
};

struct CommandLine {
    std::vector<std::string> positional;
    // Every occurrence of an option, under its own name (never the alias),
    // each with the words it took.
    std::map<std::string, std::vector<std::vector<std::string>>> given;

    bool has(const std::string& name) const { return given.count(name) != 0; }
    // The value of a one-value option given once.
    std::optional<std::string> value(const std::string& name) const;
    // The words of an option given once ("-tr 5 5" gives {"5", "5"}).
    std::vector<std::string> words(const std::string& name) const;
    // The words of every occurrence of a repeatable option, in order.
    std::vector<std::vector<std::string>> occurrences(const std::string& name) const;
};

// Unknown options, a missing value or a repeated option that is not
// repeatable are errors: a typo must never silently fall back to a default.
CommandLine parse_arguments(const std::vector<std::string>& words, const std::vector<OptionDef>& options);

// Whole-word numbers only ("12abc" is refused); `option` names the culprit.
double parse_number(const std::string& option, const std::string& text);
int32_t parse_int32(const std::string& option, const std::string& text);
// A finite number greater than zero.
double parse_positive(const std::string& option, const std::string& text);
