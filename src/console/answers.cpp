#include "console/answers.hpp"

bool name_is_printable(std::string_view name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) return false;
    }
    return true;
}

bool ask_name(Console& console, std::string_view prompt, std::string& name) {
    for (;;) {
        console.say(prompt);
        if (!console.read_word(name)) {
            console.say(kEndOfAnswers);
            return false;
        }
        if (name_is_printable(name)) return true;
        console.say(kControlInName);
    }
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
