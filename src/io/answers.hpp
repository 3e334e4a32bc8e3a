// Reading the user's answers for the two dialogs.
//
// Every read that can fail is here, so that the dialogs read like the order of
// their questions: a word that is not a decimal integer where one is expected
// is dropped and the question is asked again, and the end of the input in the
// middle of the dialog stops the run with a message instead of going on with
// answers nobody gave.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console.hpp"

// The message printed when the answers run out before the dialog is over.
inline constexpr const char* kEndOfAnswers =
    "\n Se acabaron las respuestas antes del final del dialogo: no se puede seguir \n";

// One whitespace-delimited word. At the end of the input, prints kEndOfAnswers
// and returns false (the caller makes the fatal stop).
bool ask_word(Console& console, std::string& word);

// Prints `prompt` and reads one decimal integer, printing `prompt` again after
// every word that is not one. Every attempt consumes a word, so this ends at
// the latest with the input. At the end of the input, prints kEndOfAnswers and
// returns false.
bool ask_int(Console& console, std::string_view prompt, int32_t& value);
