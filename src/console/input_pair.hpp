// Opening the input raster pairs of the dialog, and the console's words for
// what is wrong with one (files/input_checks.hpp finds it).
#pragma once

#include <string>

#include "console/console.hpp"
#include "console/run_state.hpp"
#include "files/input_checks.hpp"

// The message of a file that could not be read (an I/O error, not its end).
inline constexpr const char* kReadError = "\n Error de lectura en el archivo %s: no se escribio ningun resultado \n";

// Prints the problem as the console says it.
void say_problem(Console& console, const InputProblem& problem);

// True when a check passed; otherwise prints its problem and returns false
// (the caller makes the fatal stop).
bool passes(Console& console, const InputCheck& check);

// Prints the role's prompt, reads the typed name, builds both host paths of
// the role's pair and opens the raw file ("rb") and then the descriptor ("r"),
// each only when it is a regular file. On failure prints what is missing or
// what is not a file (or that the answers ran out) and returns false; the
// caller makes the fatal stop.
bool open_input_pair(Console& console, const std::string& folder_prefix, Role role, FilePair& pair);
