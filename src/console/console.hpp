// The console of a run: where prompts, messages and progress go, and where
// answers come from. Stages talk only to this, so a test can hand them string
// streams and read back every byte they printed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

class Console {
public:
    Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

    // Prompts and messages: written and flushed at once, so a person always
    // sees the question before the program waits.
    void say(std::string_view text);
    // printf-style formatting of the system's own texts ("\n No hay Fila %s \n").
    void sayf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // One whitespace-delimited word; false at the end of the input.
    bool read_word(std::string& word);

    enum class IntAnswer { ok, not_integer, end_of_input };
    // One word read as a decimal integer (optional sign, digits, within the
    // signed 32-bit range). A word that is not one is consumed and reported.
    IntAnswer read_int(int32_t& value);

    // Progress: headings, and lines (one or several at a time, each starting
    // with a tab) that end in a carriage return so that the next one
    // overwrites them. They may stay buffered until end_progress or the next
    // prompt, so printing them never dominates a long computation.
    void progress(std::string_view text);
    void progressf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void end_progress();

    // On a terminal a person cannot read a million overwritten lines, and
    // drawing them would cost more than the computation: show the latest one
    // at most every interval. The last line before a heading, a message or the
    // end is always shown, so the screen ends as it would without throttling.
    // Off by default: into a file or a pipe every byte is written.
    void throttle_progress(std::chrono::steady_clock::duration interval);
    // The clock of the throttle; tests replace it.
    std::function<std::chrono::steady_clock::time_point()> clock = [] { return std::chrono::steady_clock::now(); };

    // The key press of the fatal stop. Does nothing unless the program set it
    // (main reads the terminal; tests count the calls).
    std::function<void()> wait_for_key = [] {};

private:
    void show_pending_line();

    std::istream& in_;
    std::ostream& out_;
    bool throttled_ = false;
    std::chrono::steady_clock::duration interval_{};
    std::optional<std::chrono::steady_clock::time_point> last_shown_;  // none yet: show the first at once
    std::string pending_line_;  // the latest overwritable line not yet shown
};

