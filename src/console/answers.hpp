// Reading the user's answers for the two dialogs.
//
// Every read that can fail is here, so that the dialogs read like the order of
// their questions: a word that is not a decimal integer where one is expected,
// or a name holding a control character, is dropped and the question is asked
// again, and the end of the input in the middle of the dialog stops the run
// with a message instead of going on with answers nobody gave.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.hpp"

// The message printed when the answers run out before the dialog is over.
inline constexpr const char* kEndOfAnswers =
    "\n Se acabaron las respuestas antes del final del dialogo: no se puede seguir \n";

// The message printed when a typed name holds a control character.
inline constexpr const char* kControlInName = "\n El nombre contiene caracteres de control: escriba otro nombre \n";

// Prints `prompt` and reads one whitespace-delimited word as a name. A word
// holding a control character (a NUL would cut the path short and name
// another file) is refused with kControlInName and the prompt is printed
// again. At the end of the input, prints kEndOfAnswers and returns false
// (the caller makes the fatal stop).
bool ask_name(Console& console, std::string_view prompt, std::string& name);

// True when `name` holds no byte below 32 and no DEL.
bool name_is_printable(std::string_view name);

// Prints `prompt` and reads one decimal integer, printing `prompt` again after
// every word that is not one. Every attempt consumes a word, so this ends at
// the latest with the input. At the end of the input, prints kEndOfAnswers and
// returns false.
bool ask_int(Console& console, std::string_view prompt, int32_t& value);
