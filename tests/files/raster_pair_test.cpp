// Raster pair files: where the image root is, and how descriptors are read.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/console_capture.hpp"
#include "files/raster_pair.hpp"
#include "tests/support/temp_folder.hpp"

TEST(PairPaths, TheImageRootComesFromTheEnvironmentOrImagesHere) {
    for (const char* root : {"/data/imagenes", "/data/imagenes/"}) {
        ScopedImageRoot scoped(root);
        EXPECT_EQ(host_image_root(), "/data/imagenes/");
    }
    ScopedImageRoot scoped("x");
    unsetenv("LORVANTIDE_IMAGES");
    EXPECT_EQ(host_image_root(), "images/");
}

TEST(Descriptors, ReadDecimalIntegersOfThe32BitRangeOnAnyLinesUpToTheFirstOtherWord) {
    struct Case {
        std::string text;
        std::vector<int32_t> values;  // those read; the rest stay as they were
    };
    const Case cases[] = {
        {"3 5 4 0 900 10", {3, 5, 4, 0, 900, 10}},
        {"3\n5\n4\n0\n900\n10\n", {3, 5, 4, 0, 900, 10}},
        {"3\r\n5\r\n4\r\n0\r\n900\r\n10\r\n", {3, 5, 4, 0, 900, 10}},
        {"  3\t5 4\n0 +900 10 trailing words", {3, 5, 4, 0, 900, 10}},
        {"3 5", {3, 5}},
        {"3 5 4 x 9", {3, 5, 4}},
        {"", {}},
        {"-", {}},
        {"3 5 -2147483648 2147483647", {3, 5, -2147483647 - 1, 2147483647}},
        {"3 2147483648", {3}},
        {"-2147483649 1", {}},
        {"4294967299 5", {}},
    };
    TempFolder temp;
    for (const Case& c : cases) {
        write_file(temp / "d", c.text);
        std::FILE* f = std::fopen((temp / "d").c_str(), "rb");
        ASSERT_NE(f, nullptr);
        std::vector<int32_t> read(6, -7);
        const int count = read_descriptor_ints(f, read.data(), 6);
        std::fclose(f);
        std::vector<int32_t> expected = c.values;
        expected.resize(6, -7);
        EXPECT_EQ(count, static_cast<int>(c.values.size())) << c.text;
        EXPECT_EQ(read, expected) << c.text;
    }
}
