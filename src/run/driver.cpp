#include "driver.hpp"

int run_program(Run& run, Console& console, std::span<const Stage> stages) {
    for (const Stage stage : stages) {
        const Outcome outcome = stage(run, console);
        if (outcome == Outcome::go_on) continue;
        // The stage has already printed its message.
        console.end_progress();
        if (outcome == Outcome::failed) return 1;
        console.wait_for_key();
        return 0;
    }
    console.end_progress();
    return 0;
}
