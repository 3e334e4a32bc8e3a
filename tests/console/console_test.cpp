// The console: what counts as an integer answer, and that every prompt has
// reached the screen before the program waits for an answer.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>

#include "console/console.hpp"

namespace {

// Records what had been flushed each time the stream was synchronised.
class FlushRecorder : public std::stringbuf {
public:
    std::string flushed;

protected:
    int sync() override {
        flushed = str();
        return 0;
    }
};

}  // namespace

TEST(Console, ReadsDecimalIntegersOfThe32BitRangeOnly) {
    std::istringstream in("7 +5 -0 2147483647 -2147483648 2147483648 -2147483649 5x 0x10 1e3 + - 3.0 12");
    std::ostringstream out;
    Console console(in, out);
    const Console::IntAnswer ok = Console::IntAnswer::ok;
    const Console::IntAnswer bad = Console::IntAnswer::not_integer;
    const std::pair<Console::IntAnswer, int32_t> expected[] = {
        {ok, 7},    {ok, 5},    {ok, 0},    {ok, 2147483647}, {ok, -2147483647 - 1},
        {bad, 0},   {bad, 0},   {bad, 0},   {bad, 0},         {bad, 0},
        {bad, 0},   {bad, 0},   {bad, 0},   {ok, 12},
    };
    for (auto [answer, value] : expected) {
        int32_t got = 0;
        ASSERT_EQ(console.read_int(got), answer);
        if (answer == ok) {
            EXPECT_EQ(got, value);
        }
    }
    int32_t got = 0;
    EXPECT_EQ(console.read_int(got), Console::IntAnswer::end_of_input);
}

TEST(Console, APromptIsOnScreenBeforeEveryRead) {
    FlushRecorder screen;
    std::ostream out(&screen);
    std::istringstream in("rio1 5");
    Console console(in, out);
    console.say("\n Nombre ? ");
    EXPECT_EQ(screen.flushed, "\n Nombre ? ");
    console.sayf("\n %s %d ", "Valor", 3);
    EXPECT_EQ(screen.flushed, "\n Nombre ? \n Valor 3 ");
    // Progress may wait in the buffer, but not past the next read.
    console.progress("\tLinea 1\r");
    std::string word;
    EXPECT_TRUE(console.read_word(word));
    EXPECT_EQ(screen.flushed, "\n Nombre ? \n Valor 3 \tLinea 1\r");
    console.progressf("\tLinea %d\r", 2);
    int32_t value = 0;
    EXPECT_EQ(console.read_int(value), Console::IntAnswer::ok);
    EXPECT_EQ(screen.flushed, "\n Nombre ? \n Valor 3 \tLinea 1\r\tLinea 2\r");
}
