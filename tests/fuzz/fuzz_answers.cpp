// The answers of the dialogs on any bytes: a decimal integer is taken exactly
// when the word is one (and as its value), a name is taken only when it holds
// no control character, each refused word prints its question again, the
// parameter dialog either takes every answer or stops with its message, and
// nothing reads out of bounds.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "console/console.hpp"
#include "console/stages.hpp"
#include "files/answers.hpp"
#include "tests/support/console_capture.hpp"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// The words of `text`, as the console splits them.
std::size_t words_in(const std::string& text) {
    std::istringstream in(text);
    std::string word;
    std::size_t n = 0;
    while (in >> word) ++n;
    return n;
}

void integers(const std::string& text) {
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        int32_t value = 12345;
        const bool taken = parse_decimal_int32(word, value);
        // The word is a decimal integer: an optional sign, digits, nothing else, within range.
        const char* begin = word.data() + (word[0] == '+' ? 1 : 0);
        int32_t parsed = 0;
        const auto [end, error] = std::from_chars(begin, word.data() + word.size(), parsed);
        const bool decimal = error == std::errc() && end == word.data() + word.size() &&
                             !(word[0] == '+' && word.size() > 1 && word[1] == '-');
        check(decimal == taken);
        check(value == (decimal ? parsed : 12345));
    }
}

void names(const std::string& text) {
    ConsoleCapture io(text);
    const std::string prompt = "\n Nombre ? ";
    std::string name;
    std::size_t taken = 0;
    while (io.console.answers().name(prompt, name)) {
        check(name_is_printable(name) && !name.empty());
        ++taken;
    }
    const std::string printed = io.printed();
    // Every word was taken or refused, each refusal asked again, and the end said so once.
    const std::size_t refused = count_of(printed, kControlInName);
    check(taken + refused == words_in(text));
    check(count_of(printed, prompt) == taken + refused + 1);
    check(count_of(printed, kEndOfAnswers) == 1);
}

void parameter_dialog(const std::string& text, int32_t presence) {
    ConsoleCapture io(text);
    ::Run run;
    run.parameters.water_bodies = presence == 1;
    const Outcome outcome = parameters(run, io.console);
    const std::string printed = io.printed();
    const bool ended = printed.size() >= std::string(kEndOfAnswers).size() &&
                       printed.compare(printed.size() - std::string(kEndOfAnswers).size(), std::string::npos,
                                       kEndOfAnswers) == 0;
    check(outcome == Outcome::go_on || outcome == Outcome::fatal_stop);
    check((outcome == Outcome::fatal_stop) == ended);
    if (presence != 1) check(run.parameters.perimeter_tone == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    integers(text);
    names(text);
    parameter_dialog(text, 0);
    parameter_dialog(text, 1);
    return 0;
}
