// The progress events printed as the console program prints them: the bytes
// printf gives, for every number of digits and sign, in few batches.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "console/progress_lines.hpp"

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

// Every heading and line in its order, batched into few calls; a heading and
// a share done hand over what is batched first.
TEST(ProgressLines, SameBytesAsPrintfInFewBatches) {
    std::string printed;
    int calls = 0;
    std::string expected;
    {
        ProgressLines lines([&](std::string_view t) {
            printed += t;
            ++calls;
        });
        const std::vector<int32_t> values = numbers();
        for (int pass = 1; pass <= 7; ++pass) {
            lines.pass_begun(pass);
            expected += ProgressLines::heading(pass);
            for (int round = 0; round < 3; ++round)
                for (int32_t a : values) {
                    if (a == std::numeric_limits<int32_t>::max()) continue;  // printed as line a + 1
                    lines.line_reached(a);
                    expected += printf_line(a + 1);
                    for (int32_t b : {values[0], values[1], values[2], values[7], values[20], a}) {
                        lines.position_reached(a, b);
                        expected += printf_position(a, b);
                    }
                }
            lines.share_done(0.5);
            EXPECT_EQ(printed, expected) << "pass " << pass;
        }
    }
    EXPECT_EQ(printed, expected);
    EXPECT_LT(calls, 60);
    EXPECT_NE(expected.find("\tLinea 0    Columna 2147483647          \r     "), std::string::npos);
    EXPECT_EQ(ProgressLines::heading(1), "\n\n primer paso\n\n");
    EXPECT_EQ(ProgressLines::heading(7), "\n\n septimo paso\n\n");
}

}  // namespace
