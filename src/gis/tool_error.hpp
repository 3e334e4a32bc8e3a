// A failure of one command of lorvantide-raster. Its Spanish message goes to
// standard error and the process ends with status 1, so a script never takes
// a half-made pair for a finished one.
#pragma once

#include <stdexcept>
#include <string>

struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A failure that another process of an MPI run met and told itself: this
// process ends with status 1 and says nothing.
struct PeerFailure : ToolError {
    PeerFailure() : ToolError("otro proceso fallo") {}
};

// A failure once every output is in place (the summary could not be
// printed): status 2, as the console program's when its dialog could not be
// shown, so that status 1 always means the outputs were not written.
struct AfterOutputsError : ToolError {
    using ToolError::ToolError;
};
