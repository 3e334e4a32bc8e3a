// A stage of a run: it reads and writes the run record, talks through the
// console, and says how it ended.
#pragma once

#include "console.hpp"
#include "run_state.hpp"

// How a stage ended. Anything but go_on ends the run at once.
enum class Outcome {
    go_on,       // the next stage follows
    fatal_stop,  // a message was printed; wait for one key, exit status 0
    failed,      // a message was printed; exit status 1 (nothing may be reported as done)
};

using Stage = Outcome (*)(Run& run, Console& console);
