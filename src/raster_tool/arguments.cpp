#include "arguments.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "tool_error.hpp"

namespace {

bool listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool looks_like_option(const std::string& word) {
    // "-5" is a value (a negative nodata), not an option.
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9') && word[1] != '.';
}

}  // namespace

std::optional<std::string> CommandLine::value(const std::string& name) const {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

CommandLine parse_arguments(const std::vector<std::string>& words, const OptionSet& options) {
    CommandLine line;
    for (std::size_t k = 0; k < words.size(); ++k) {
        const std::string& word = words[k];
        if (!looks_like_option(word)) {
            line.positional.push_back(word);
            continue;
        }
        std::string name = word;
        std::optional<std::string> inline_value;
        if (const auto equals = word.find('='); equals != std::string::npos && word.rfind("--", 0) == 0) {
            name = word.substr(0, equals);
            inline_value = word.substr(equals + 1);
        }
        if (line.has(name)) throw ToolError("la opcion " + name + " aparece dos veces");
        if (listed(options.flags, name) && !inline_value) {
            line.flags.insert(name);
        } else if (listed(options.with_value, name)) {
            if (inline_value) {
                line.values[name] = *inline_value;
            } else {
                if (k + 1 >= words.size()) throw ToolError("falta el valor de la opcion " + name);
                line.values[name] = words[++k];
            }
        } else {
            throw ToolError("opcion desconocida: " + word);
        }
    }
    return line;
}

double parse_number(const std::string& option, const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    if (text.empty() || status != std::errc() || stop != end || !std::isfinite(value))
        throw ToolError("valor no valido para " + option + ": " + text);
    return value;
}

int32_t parse_int32(const std::string& option, const std::string& text) {
    int32_t value = 0;
    const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(begin, end, value);
    if (begin == end || status != std::errc() || stop != end)
        throw ToolError("valor no valido para " + option + " (se espera un entero de 32 bits): " + text);
    return value;
}
