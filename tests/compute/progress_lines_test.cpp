// The progress lines built without printf give the bytes printf gives, for
// every number of digits and sign.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "progress_lines.hpp"

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

TEST(ProgressLines, SameBytesAsPrintf) {
    ProgressLines lines;
    const std::vector<int32_t> values = numbers();
    for (int32_t a : values) {
        EXPECT_EQ(std::string(lines.line(a)), printf_line(a)) << a;
        for (int32_t b : {values[0], values[1], values[2], values[7], values[20], a})
            EXPECT_EQ(std::string(lines.position(a, b)), printf_position(a, b)) << a << " " << b;
    }
    // The exact shapes, spelled out once.
    EXPECT_EQ(std::string(lines.position(0, 4092)), "\tLinea 0    Columna 4092          \r     ");
    EXPECT_EQ(std::string(lines.line(16384)), "\tLinea 16384          \r     ");
}

}  // namespace
