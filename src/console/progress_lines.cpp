#include "console/progress_lines.hpp"

#include <array>
#include <charconv>
#include <cstring>

namespace {

constexpr std::string_view kLinea = "\tLinea ";
constexpr std::string_view kColumna = "    Columna ";
constexpr std::string_view kEnd = "          \r     ";

constexpr std::array<std::string_view, 7> kHeadings = {
    "\n\n primer paso\n\n", "\n\n segundo paso\n\n", "\n\n tercer paso\n\n", "\n\n cuarto paso\n\n",
    "\n\n quinto paso\n\n", "\n\n sexto paso\n\n",   "\n\n septimo paso\n\n",
};

char* put(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

}  // namespace

std::string_view ProgressLines::heading(int pass) { return kHeadings.at(static_cast<std::size_t>(pass - 1)); }

void ProgressLines::pass_begun(int pass) {
    flush();
    print_(heading(pass));
}

void ProgressLines::add(int32_t line, const int32_t* column) {
    // Both numbers as the longest int32 in decimal still fit.
    static_assert(kLinea.size() + kColumna.size() + kEnd.size() + 2 * 11 <= kLongestLine);
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
    print_(batch_);
    batch_.clear();
}
