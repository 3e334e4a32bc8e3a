#include "console/driver.hpp"

#include <new>

namespace {

Outcome run_stage(Stage stage, Run& run, Console& console) {
    try {
        return stage(run, console);
    } catch (const std::bad_alloc&) {
        console.say(kNoMemory);
        return Outcome::failed;
    }
}

}  // namespace

int run_program(Run& run, Console& console, std::span<const Stage> stages) {
    for (const Stage stage : stages) {
        const Outcome outcome = run_stage(stage, run, console);
        if (outcome == Outcome::go_on) continue;
        // The stage has already printed its message.
        console.end_progress();
        if (outcome == Outcome::fatal_stop) console.wait_for_key();
        return 1;
    }
    console.end_progress();
    return 0;
}
