// The console: what counts as an integer answer, and that every prompt has
// reached the screen before the program waits for an answer.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

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

TEST(Console, TakesDecimalIntegersOfThe32BitRangeOnlyAndAsksAgainAfterAnyOtherWord) {
    std::istringstream in("7 +5 -0 2147483647 -2147483648 2147483648 -2147483649 5x 0x10 1e3 + - 3.0 12");
    std::ostringstream out;
    Console console(in, out);
    std::vector<int32_t> taken;
    int32_t value = 0;
    while (console.answers().integer("?", value)) taken.push_back(value);
    EXPECT_EQ(taken, (std::vector<int32_t>{7, 5, 0, 2147483647, -2147483647 - 1, 12}));
    // Fourteen words, each after its question, then the question and the end.
    EXPECT_EQ(out.str(), std::string(15, '?') + kEndOfAnswers);
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
    EXPECT_TRUE(console.answers().name("", word));
    EXPECT_EQ(screen.flushed, "\n Nombre ? \n Valor 3 \tLinea 1\r");
    console.progressf("\tLinea %d\r", 2);
    int32_t value = 0;
    EXPECT_TRUE(console.answers().integer("", value));
    EXPECT_EQ(screen.flushed, "\n Nombre ? \n Valor 3 \tLinea 1\r\tLinea 2\r");
}
