#include "gis/arguments.hpp"

#include <charconv>
#include <cmath>

#include "gis/tool_error.hpp"

namespace {

bool looks_like_option(const std::string& word) {
    // "-5" is a value (a negative nodata), not an option.
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9') && word[1] != '.';
}

const OptionDef* find_option(const std::vector<OptionDef>& options, const std::string& name) {
    for (const OptionDef& option : options)
        if (option.name == name || (!option.alias.empty() && option.alias == name)) return &option;
    return nullptr;
}

}  // namespace

std::optional<std::string> CommandLine::value(const std::string& name) const {
    const auto found = given.find(name);
    if (found == given.end() || found->second.empty() || found->second.front().empty()) return std::nullopt;
    return found->second.front().front();
}

std::vector<std::string> CommandLine::words(const std::string& name) const {
    const auto found = given.find(name);
    if (found == given.end() || found->second.empty()) return {};
    return found->second.front();
}

std::vector<std::vector<std::string>> CommandLine::occurrences(const std::string& name) const {
    const auto found = given.find(name);
    if (found == given.end()) return {};
    return found->second;
}

CommandLine parse_arguments(const std::vector<std::string>& words, const std::vector<OptionDef>& options) {
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
        const OptionDef* option = find_option(options, name);
        // "--flag=x" and "--config=KEY VALUE" are no spelling of anything.
        if (option == nullptr || (inline_value && option->values != 1)) throw ToolError("opcion desconocida: " + word);
        if (line.has(option->name) && !option->repeatable)
            throw ToolError("la opcion " + option->name + " aparece dos veces");
        std::vector<std::string> taken;
        if (inline_value) {
            taken.push_back(*inline_value);
        } else {
            for (int v = 0; v < option->values; ++v) {
                if (k + 1 >= words.size()) throw ToolError("falta el valor de la opcion " + name);
                taken.push_back(words[++k]);
            }
        }
        line.given[option->name].push_back(std::move(taken));
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
    // One sign: "+5" and "-5", never "+-5".
    const char* begin = text.data() + (text.size() > 1 && text[0] == '+' && text[1] != '-' ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(begin, end, value);
    if (begin == end || status != std::errc() || stop != end)
        throw ToolError("valor no valido para " + option + " (se espera un entero de 32 bits): " + text);
    return value;
}

double parse_positive(const std::string& option, const std::string& text) {
    const double value = parse_number(option, text);
    if (!(value > 0.0)) throw ToolError(option + " debe ser un numero positivo: " + text);
    return value;
}
