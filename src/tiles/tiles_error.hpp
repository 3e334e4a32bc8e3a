// A failure of the batch run. Its Spanish message goes to standard error and
// the process ends with status 1; the result pair is left as it was.
#pragma once

#include <stdexcept>
#include <string>

struct TilesError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The text of errno's current value, for messages about files.
std::string system_reason();
