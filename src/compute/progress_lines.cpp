#include "compute/progress_lines.hpp"

#include <charconv>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kLinea = "\tLinea ";
constexpr std::string_view kColumna = "    Columna ";
constexpr std::string_view kEnd = "          \r     ";

// Room for the longest line: both numbers as the longest int32 in decimal.
constexpr std::size_t kLongestLine = kLinea.size() + kColumna.size() + kEnd.size() + 2 * 11;
constexpr std::size_t kBatch = std::size_t{1} << 16;

char* put(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

}  // namespace

ProgressLines::ProgressLines(ChannelProgress& sink) : sink_(sink), wanted_(sink.wants_text()) {
    if (wanted_) batch_.reserve(kBatch + kLongestLine);
}

void ProgressLines::position(int32_t line, int32_t column) { add(line, &column); }

void ProgressLines::line(int32_t line) { add(line, nullptr); }

void ProgressLines::add(int32_t line, const int32_t* column) {
    if (!wanted_) return;
    char text[kLongestLine];
    char* at = put(text, kLinea);
    at = std::to_chars(at, text + sizeof text, line).ptr;
    if (column != nullptr) {
        at = put(at, kColumna);
        at = std::to_chars(at, text + sizeof text, *column).ptr;
    }
    at = put(at, kEnd);
    batch_.append(text, static_cast<std::size_t>(at - text));
    if (batch_.size() >= kBatch) flush();
}

void ProgressLines::flush() {
    if (batch_.empty()) return;
    sink_.text(batch_);
    batch_.clear();
}
