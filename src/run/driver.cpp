#include "driver.hpp"

#include "stages.hpp"

namespace {

// A stage that stops the run has already printed its message.
int stop_status(Outcome outcome, Console& console) {
    console.end_progress();
    if (outcome == Outcome::fatal_stop) {
        console.wait_for_key();
        return 0;
    }
    return 1;
}

}  // namespace

int run_program(Run& run, Console& console) {
    for (Outcome (*stage)(Run&, Console&) : {opening, parameters, lecture, treatment, save}) {
        const Outcome outcome = stage(run, console);
        if (outcome != Outcome::go_on) return stop_status(outcome, console);
    }
    console.end_progress();
    return 0;
}
