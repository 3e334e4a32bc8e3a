// A failure of the batch run. Its Spanish message goes to standard error and
// the process ends with status 1; the result pair is left as it was.
#pragma once

#include <stdexcept>
#include <string>

#include "files/input_checks.hpp"

struct TilesError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The text of errno's current value, for messages about files.
std::string system_reason();

// What is wrong with an input as the batch command says it: the console
// program's words, on one line.
TilesError input_error(const InputProblem& problem);

// Throws input_error when a check found a problem.
void require(const InputCheck& check);
