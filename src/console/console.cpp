#include "console/console.hpp"

#include <cstdarg>
#include <cstdio>
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
