#include "answers.hpp"

bool ask_word(Console& console, std::string& word) {
    if (console.read_word(word)) return true;
    console.say(kEndOfAnswers);
    return false;
}

bool ask_int(Console& console, std::string_view prompt, int32_t& value) {
    for (;;) {
        console.say(prompt);
        switch (console.read_int(value)) {
            case Console::IntAnswer::ok:
                return true;
            case Console::IntAnswer::not_integer:
                continue;
            case Console::IntAnswer::end_of_input:
                console.say(kEndOfAnswers);
                return false;
        }
    }
}
