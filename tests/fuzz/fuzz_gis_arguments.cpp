// The command-line reader of lorvantide-raster on any words (one per line of
// the input), against a plain reading of its grammar: a word is positional,
// or an option ("-of", "--scale" or "--scale=10", or its alias) taking the
// next words as values; an unknown option, a missing value, an "=" on an
// option without exactly one value and a second occurrence of an option that
// is not repeatable are refused with a ToolError, never anything else. The
// integer reader returns only what strtoll reads of the whole word.
//
// The reader needs no GDAL, so this target builds where CI builds the others
// (without GDAL); its option table has every shape the commands' tables use.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "gis/arguments.hpp"
#include "gis/tool_error.hpp"

namespace {

const std::vector<OptionDef> kOptions = {
    {"-q", 0, false, "--quiet"}, {"--overwrite", 0, false, "-overwrite"}, {"--unscale"}, {"--scale", 1},
    {"-of", 1, false, "--format"}, {"-tr", 2}, {"--config", 2, true}, {"-co", 1, true}};

void check(bool holds) {
    if (!holds) std::abort();
}

std::optional<CommandLine> plain_reading(const std::vector<std::string>& words) {
    CommandLine line;
    for (std::size_t k = 0; k < words.size(); ++k) {
        const std::string& word = words[k];
        if (word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9') || word[1] == '.') {
            line.positional.push_back(word);
            continue;
        }
        const bool has_value = word.compare(0, 2, "--") == 0 && word.find('=') != std::string::npos;
        const std::string name = has_value ? word.substr(0, word.find('=')) : word;
        const OptionDef* found = nullptr;
        for (const OptionDef& option : kOptions)
            if (option.name == name || (!option.alias.empty() && option.alias == name)) found = &option;
        if (found == nullptr || (has_value && found->values != 1) ||
            (line.given.count(found->name) != 0 && !found->repeatable) ||
            (!has_value && k + static_cast<std::size_t>(found->values) >= words.size() + (found->values == 0)))
            return std::nullopt;
        std::vector<std::string> taken;
        if (has_value) taken.push_back(word.substr(word.find('=') + 1));
        for (int v = 0; !has_value && v < found->values; ++v) taken.push_back(words[++k]);
        line.given[found->name].push_back(taken);
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::vector<std::string> words;
    if (size > 0) words.emplace_back();
    for (std::size_t k = 0; k < size; ++k) {
        if (data[k] == '\n')
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[k]);
    }
    const std::optional<CommandLine> expected = plain_reading(words);
    try {
        const CommandLine line = parse_arguments(words, kOptions);
        check(expected && line.positional == expected->positional && line.given == expected->given);
    } catch (const ToolError&) {
        check(!expected);
    }
    for (const std::string& word : words) {
        try {
            const int32_t value = parse_int32("--n", word);
            char* end = nullptr;
            check(word.find('\0') == std::string::npos && std::strtoll(word.c_str(), &end, 10) == value &&
                  *end == '\0');
        } catch (const ToolError&) {
        }
    }
    return 0;
}
