// A stage of a run: it reads and writes the run record, talks through the
// console, and says how it ended.
#pragma once

#include "console/console.hpp"
#include "console/run_state.hpp"

// How a stage ended. Anything but go_on ends the run at once, and nothing is
// written: exit status 0 means the result pair was.
enum class Outcome {
    go_on,       // the next stage follows
    fatal_stop,  // a message was printed; wait for one key, exit status 1
    failed,      // a message was printed; exit status 1
};

// The message of a run that memory ran out for after the dialog's check
// (std::bad_alloc from any stage).
inline constexpr const char* kNoMemory = "\n No hay memoria suficiente para seguir: no se escribio ningun resultado \n";

using Stage = Outcome (*)(Run& run, Console& console);
