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

#include "files/answers.hpp"

// What the console says when the answers run out before the dialog is over,
// and when a typed name holds a control character (then the question comes again).
inline constexpr const char* kEndOfAnswers =
    "\n Se acabaron las respuestas antes del final del dialogo: no se puede seguir \n";
inline constexpr const char* kControlInName = "\n El nombre contiene caracteres de control: escriba otro nombre \n";

class Console final : private DialogVoice {
public:
    Console(std::istream& in, std::ostream& out) : out_(out), answers_(in, *this) {}
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Prompts and messages: written and flushed at once, so a person always
    // sees the question before the program waits.
    void say(std::string_view text);
    // printf-style formatting of the system's own texts ("\n No hay Fila %s \n").
    void sayf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The dialog's answers, read with its rules (files/answers.hpp): the
    // question is said before every try, so it is on the screen before the
    // program waits; a refused name and the end of the answers are told
    // (kControlInName, kEndOfAnswers).
    AnswerReader& answers() { return answers_; }

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
    void ask(std::string_view question) override { say(question); }
    void name_refused() override { say(kControlInName); }
    void answers_ended() override { say(kEndOfAnswers); }
    void show_pending_line();

    std::ostream& out_;
    AnswerReader answers_;
    bool throttled_ = false;
    std::chrono::steady_clock::duration interval_{};
    std::optional<std::chrono::steady_clock::time_point> last_shown_;  // none yet: show the first at once
    std::string pending_line_;  // the latest overwritable line not yet shown
};

