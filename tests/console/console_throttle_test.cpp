// Progress throttled on a terminal: far fewer bytes, the same final screen,
// and the last line of a pass shown before whatever follows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.hpp"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// What a terminal shows after the bytes: line feeds start a new row, a
// carriage return goes back to column 0, a tab to the next multiple of 8, and
// every other byte overwrites the cell under the cursor.
std::vector<std::string> screen_after(const std::string& bytes) {
    std::vector<std::string> rows(1);
    std::size_t column = 0;
    for (char c : bytes) {
        if (c == '\n') {
            rows.emplace_back();
            column = 0;
        } else if (c == '\r') {
            column = 0;
        } else if (c == '\t') {
            column = (column / 8 + 1) * 8;
        } else {
            std::string& row = rows.back();
            if (row.size() <= column) row.resize(column + 1, ' ');
            row[column++] = c;
        }
    }
    return rows;
}

// A pass as the computation prints it: a heading, then one overwritable line
// per step, with a fake clock that advances `step` per line.
void print_passes(Console& console, steady_clock::time_point& now, milliseconds step) {
    for (int pass = 0; pass < 3; ++pass) {
        console.progress(pass == 0 ? "\n\n primer paso\n\n" : "\n\n segundo paso\n\n");
        for (int line = 0; line < 1000; line += 3) {
            console.progressf("\tLinea %d    Columna %d          \r     ", line, (line * 37) % 1001);
            now += step;
        }
    }
    console.end_progress();
}

struct ThrottledConsole {
    std::istringstream in;
    std::ostringstream out;
    Console console{in, out};
    steady_clock::time_point now{};
    explicit ThrottledConsole(bool throttle) {
        console.clock = [this] { return now; };
        if (throttle) console.throttle_progress(milliseconds(50));
    }
};

}  // namespace

TEST(ConsoleThrottle, TheScreenEndsAsWithoutThrottlingFromFarFewerBytes) {
    for (int step_ms : {0, 1, 7, 49, 50, 200}) {
        ThrottledConsole plain(false);
        print_passes(plain.console, plain.now, milliseconds(step_ms));
        ThrottledConsole throttled(true);
        print_passes(throttled.console, throttled.now, milliseconds(step_ms));
        EXPECT_EQ(screen_after(throttled.out.str()), screen_after(plain.out.str())) << "step " << step_ms << " ms";
        if (step_ms == 1) {
            // 334 lines a pass, 3 passes: unthrottled keeps every one.
            const std::string all = plain.out.str();
            EXPECT_EQ(std::count(all.begin(), all.end(), '\r'), 3 * 334);
            EXPECT_LT(throttled.out.str().size(), all.size() / 10);
        }
    }
}

TEST(ConsoleThrottle, TheLastLineOfAPassPrecedesTheNextHeadingAndMessages) {
    ThrottledConsole t(true);
    t.console.progress("\n\n primer paso\n\n");
    t.console.progress("\tLinea 0          \r     ");  // shown: the first line after a long pause
    t.console.progress("\tLinea 1          \r     ");  // held back: same instant
    t.console.progress("\tLinea 2          \r     ");
    t.console.progress("\n\n segundo paso\n\n");
    t.console.progress("\tLinea 3          \r     ");
    t.console.say("\n Aviso \n");
    EXPECT_EQ(t.out.str(),
              "\n\n primer paso\n\n\tLinea 0          \r     \tLinea 2          \r     \n\n segundo paso\n\n"
              "\tLinea 3          \r     \n Aviso \n");
}

TEST(ConsoleThrottle, ALineIsShownOnceTheIntervalHasPassed) {
    ThrottledConsole t(true);
    t.console.progress("\tLinea 1          \r     ");
    t.now += milliseconds(10);
    t.console.progress("\tLinea 2          \r     ");
    EXPECT_EQ(t.out.str(), "\tLinea 1          \r     ");
    t.now += milliseconds(40);
    t.console.progress("\tLinea 3          \r     ");
    EXPECT_EQ(t.out.str(), "\tLinea 1          \r     \tLinea 3          \r     ");
}
