#include "console/console.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

std::string vformat_text(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

bool parse_decimal_int32(const std::string& word, int32_t& value) {
    std::size_t k = 0;
    if (k < word.size() && (word[k] == '+' || word[k] == '-')) ++k;
    if (k == word.size()) return false;
    for (std::size_t d = k; d < word.size(); ++d)
        if (word[d] < '0' || word[d] > '9') return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(word.c_str(), &end, 10);
    if (errno == ERANGE || parsed < std::numeric_limits<int32_t>::min() ||
        parsed > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

}  // namespace

void Console::say(std::string_view text) {
    show_pending_line();
    out_ << text;
    out_.flush();
}

void Console::sayf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    say(vformat_text(format, args));
    va_end(args);
}

bool Console::read_word(std::string& word) {
    show_pending_line();
    out_.flush();
    return static_cast<bool>(in_ >> word);
}

Console::IntAnswer Console::read_int(int32_t& value) {
    std::string word;
    if (!read_word(word)) return IntAnswer::end_of_input;
    return parse_decimal_int32(word, value) ? IntAnswer::ok : IntAnswer::not_integer;
}

void Console::progress(std::string_view text) {
    if (!throttled_) {
        out_ << text;
        return;
    }
    if (text.find('\r') == std::string_view::npos) {  // a heading: it stays on the screen
        show_pending_line();
        out_ << text;
        out_.flush();
        return;
    }
    // Of several lines, the last is the one the screen would end on.
    const std::size_t last = text.rfind('\t');
    pending_line_.assign(text.substr(last == std::string_view::npos ? 0 : last));
    if (!last_shown_ || clock() - *last_shown_ >= interval_) show_pending_line();
}

void Console::throttle_progress(std::chrono::steady_clock::duration interval) {
    throttled_ = true;
    interval_ = interval;
}

void Console::show_pending_line() {
    if (pending_line_.empty()) return;
    out_ << pending_line_;
    out_.flush();
    pending_line_.clear();
    last_shown_ = clock();
}

void Console::progressf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    progress(vformat_text(format, args));
    va_end(args);
}

void Console::end_progress() {
    show_pending_line();
    out_.flush();
}
