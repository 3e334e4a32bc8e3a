#include "progress_lines.hpp"

#include <charconv>
#include <cstring>

namespace {

constexpr std::string_view kLinea = "\tLinea ";
constexpr std::string_view kColumna = "    Columna ";
constexpr std::string_view kEnd = "          \r     ";

char* put(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

// Room for the longest int32 written in decimal, sign included.
constexpr std::size_t kNumber = 11;

}  // namespace

std::string_view ProgressLines::position(int32_t line, int32_t column) {
    static_assert(sizeof(text_) >= kLinea.size() + kColumna.size() + kEnd.size() + 2 * kNumber);
    char* const end_of_buffer = text_ + sizeof(text_);
    char* at = put(text_, kLinea);
    at = std::to_chars(at, end_of_buffer, line).ptr;
    at = put(at, kColumna);
    at = std::to_chars(at, end_of_buffer, column).ptr;
    at = put(at, kEnd);
    return {text_, static_cast<std::size_t>(at - text_)};
}

std::string_view ProgressLines::line(int32_t line) {
    char* at = put(text_, kLinea);
    at = std::to_chars(at, text_ + sizeof(text_), line).ptr;
    at = put(at, kEnd);
    return {text_, static_cast<std::size_t>(at - text_)};
}
