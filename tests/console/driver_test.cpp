// The driver: the stages in their order until one does not go on, the exit
// status and the key press of each ending (a stage out of memory included),
// and the last progress line and message on screen before the key is awaited.
#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <string>
#include <vector>

#include "tests/support/console_capture.hpp"
#include "console/driver.hpp"

namespace {

std::string ran;  // one letter per stage called

Outcome goes_on(::Run&, Console& console) {
    ran += 'g';
    console.progressf("\tLinea %zu\r", ran.size());
    return Outcome::go_on;
}
Outcome stops(::Run&, Console& console) {
    ran += 's';
    console.progress("\tLinea final\r");
    return Outcome::fatal_stop;
}
Outcome fails(::Run&, Console& console) {
    ran += 'f';
    console.progress("\tLinea final\r");
    return Outcome::failed;
}

Outcome runs_out(::Run&, Console&) {
    ran += 'm';
    throw std::bad_alloc();
}

}  // namespace

TEST(Driver, RunsTheStagesUntilOneDoesNotGoOn) {
    struct Case {
        std::vector<Stage> stages;
        int status;
        std::string ran;
        std::string printed;
    };
    // A progress line is shown at once, the next ones are held back (the
    // interval is long) until the run ends: the last one must still appear.
    const Case cases[] = {
        {{goes_on, goes_on, goes_on}, 0, "ggg", "\tLinea 1\r\tLinea 3\r"},
        {{goes_on, stops, goes_on}, 1, "gs", "\tLinea 1\r\tLinea final\r"},
        {{goes_on, fails, goes_on}, 1, "gf", "\tLinea 1\r\tLinea final\r"},
        {{goes_on, runs_out, goes_on}, 1, "gm", std::string("\tLinea 1\r") + kNoMemory},
        {{}, 0, "", ""},
    };
    for (const Case& c : cases) {
        ran.clear();
        ConsoleCapture io("");
        io.console.throttle_progress(std::chrono::hours(1));
        std::string on_screen_at_key;
        int keys = 0;
        io.console.wait_for_key = [&] {
            ++keys;
            on_screen_at_key = io.printed();
        };
        ::Run run;
        EXPECT_EQ(run_program(run, io.console, c.stages), c.status) << c.ran;
        EXPECT_EQ(ran, c.ran);
        EXPECT_EQ(io.printed(), c.printed) << c.ran;
        // Only a fatal stop waits for a key, once the screen is complete.
        EXPECT_EQ(keys, !c.ran.empty() && c.ran.back() == 's' ? 1 : 0) << c.ran;
        if (keys == 1) {
            EXPECT_EQ(on_screen_at_key, c.printed);
        }
    }
}
