// The progress lines built without printf give the bytes printf gives, for
// every number of digits and sign.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "compute/progress_lines.hpp"

namespace {

std::string printf_position(int32_t line, int32_t column) {
    char text[96];
    const int n = std::snprintf(text, sizeof text, "\tLinea %d    Columna %d          \r     ", line, column);
    return std::string(text, static_cast<std::size_t>(n));
}

std::string printf_line(int32_t line) {
    char text[96];
    const int n = std::snprintf(text, sizeof text, "\tLinea %d          \r     ", line);
    return std::string(text, static_cast<std::size_t>(n));
}

std::vector<int32_t> numbers() {
    std::vector<int32_t> out = {0, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
    for (int64_t p = 1; p <= std::numeric_limits<int32_t>::max(); p *= 10)
        for (int64_t v : {p - 1, p, p + 1, -p, -(p - 1)}) out.push_back(static_cast<int32_t>(v));
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> any(std::numeric_limits<int32_t>::min());
    for (int k = 0; k < 200; ++k) out.push_back(any(random));
    return out;
}

struct Recorder : ChannelProgress {
    std::string printed;
    int calls = 0;
    void text(std::string_view t) override {
        printed += t;
        ++calls;
    }
};

// Every line in its order, batched into few calls, and nothing formatted for
// a sink that wants no text.
TEST(ProgressLines, SameBytesAsPrintfInFewBatches) {
    Recorder recorder;
    std::string expected;
    {
        ProgressLines lines(recorder);
        const std::vector<int32_t> values = numbers();
        for (int round = 0; round < 20; ++round)
            for (int32_t a : values) {
                lines.line(a);
                expected += printf_line(a);
                for (int32_t b : {values[0], values[1], values[2], values[7], values[20], a}) {
                    lines.position(a, b);
                    expected += printf_position(a, b);
                }
            }
    }  // the last batch goes at the end
    EXPECT_EQ(recorder.printed, expected);
    EXPECT_LT(recorder.calls, 40);
    EXPECT_NE(expected.find("\tLinea 0    Columna 2147483647          \r     "), std::string::npos);

    struct Silent : Recorder {
        bool wants_text() const override { return false; }
    } silent;
    ProgressLines nothing(silent);
    nothing.position(1, 2);
    nothing.flush();
    EXPECT_EQ(silent.calls, 0);
}

}  // namespace
