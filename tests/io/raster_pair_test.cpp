// Raster file pairs: paths, descriptors and the byte order of pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console_capture.hpp"
#include "input_pair.hpp"
#include "raster_files.hpp"
#include "raster_pair.hpp"
#include "temp_folder.hpp"

namespace {

// A stream over `text`, closed at the end of the scope.
struct TextFile {
    explicit TextFile(const std::string& text) {
        write_file(path, text);
        f = std::fopen(path.c_str(), "rb");
    }
    ~TextFile() { std::fclose(f); }
    TempFolder temp;
    std::string path = temp / "file";
    std::FILE* f = nullptr;
};

}  // namespace

TEST(PairPaths, AddTheSuffixesOfTheKindToTheTypedName) {
    EXPECT_EQ(pair_paths("images/rio1/", "valle", PairKind::elevation).raw, "images/rio1/valle_m4.raw");
    EXPECT_EQ(pair_paths("images/rio1/", "valle", PairKind::elevation).descriptor, "images/rio1/valle_m4.txt");
    EXPECT_EQ(pair_paths("images/rio1/", "bar", PairKind::mask).raw, "images/rio1/bar.raw");
    EXPECT_EQ(pair_paths("images/rio1/", "bar", PairKind::mask).descriptor, "images/rio1/bar.txt");
    EXPECT_EQ(pair_paths("r/", "sub\\bar", PairKind::mask).raw, "r/sub/bar.raw");
    const std::string long_name(300, 'n');
    EXPECT_EQ(pair_paths("r/", long_name, PairKind::mask).raw, "r/" + long_name + ".raw");
}

TEST(PairPaths, TheImageRootComesFromTheEnvironmentOrImagesHere) {
    {
        ScopedImageRoot root("/data/imagenes");
        EXPECT_EQ(host_image_root(), "/data/imagenes/");
    }
    {
        ScopedImageRoot root("/data/imagenes/");
        EXPECT_EQ(host_image_root(), "/data/imagenes/");
    }
    ScopedImageRoot root("x");
    unsetenv("LORVANTIDE_IMAGES");
    EXPECT_EQ(host_image_root(), "images/");
}

TEST(Descriptors, SixIntegersReadOnOneLineOrOnSix) {
    for (const char* text : {"3 5 4 0 900 10", "3\n5\n4\n0\n900\n10\n", "3\r\n5\r\n4\r\n0\r\n900\r\n10\r\n",
                                   "  3\t5 4\n0 +900 10 trailing words"}) {
        TextFile t(text);
        int32_t v[6] = {};
        EXPECT_EQ(read_descriptor_ints(t.f, v, 6), 6) << text;
        EXPECT_EQ(v[0], 3);
        EXPECT_EQ(v[1], 5);
        EXPECT_EQ(v[2], 4);
        EXPECT_EQ(v[3], 0);
        EXPECT_EQ(v[4], 900);
        EXPECT_EQ(v[5], 10);
    }
}

TEST(Descriptors, AShortDescriptorLeavesTheFieldsItLacksAsTheyWere) {
    for (auto [text, count] : {std::pair<std::string, int>{"3 5", 2}, {"3 5 4 x 9", 3}, {"", 0}, {"-", 0},
                               {"3 5 -2147483648 2147483647", 4}, {"3 2147483648", 1}}) {
        TextFile t(text);
        int32_t v[6] = {-7, -7, -7, -7, -7, -7};
        EXPECT_EQ(read_descriptor_ints(t.f, v, 6), count) << text;
        for (int k = count; k < 6; ++k) EXPECT_EQ(v[k], -7) << text;
    }
}

TEST(Descriptors, ASizeMustBeTwoNonNegativeIntegersAndAMaskMayHoldSix) {
    {
        TextFile t("3 5 4 0 255 10");
        ConsoleCapture io("");
        int32_t size[2] = {};
        EXPECT_TRUE(read_descriptor_size(io.console, t.f, t.path, size, 2));
        EXPECT_EQ(size[0], 3);
        EXPECT_EQ(size[1], 5);
        EXPECT_EQ(io.printed(), "");
    }
    {
        TextFile t("0 0");
        ConsoleCapture io("");
        int32_t size[2] = {9, 9};
        EXPECT_TRUE(read_descriptor_size(io.console, t.f, t.path, size, 2));
        EXPECT_EQ(size[0], 0);
    }
    for (const char* text : {"3", "-1 5", "3 -5", "cinco"}) {
        TextFile t(text);
        ConsoleCapture io("");
        int32_t size[6] = {1, 2, 3, 4, 5, 6};
        EXPECT_FALSE(read_descriptor_size(io.console, t.f, t.path, size, 6)) << text;
        EXPECT_EQ(io.printed(), "\n El descriptor " + t.path +
                                    " no empieza con dos enteros decimales no negativos (lineas y columnas) \n");
        EXPECT_EQ(size[0], 1) << "a refused size leaves nothing behind";
    }
}

TEST(Descriptors, AreWrittenAsSixLines) {
    TempFolder temp;
    std::FILE* f = std::fopen((temp / "d").c_str(), "w");
    const int32_t values[6] = {3, 5, 4, -12, 900, 10};
    EXPECT_TRUE(write_six_descriptor(f, values));
    std::fclose(f);
    EXPECT_EQ(read_file(temp / "d"), "3\n5\n4\n-12\n900\n10\n");
}

TEST(Pixels, ElevationsAreLittleEndianSignedAndMasksUnsigned) {
    TextFile t(std::string("\x01\x00\x00\x00\xff\xff\xff\xff\x00\x01\x00\x80", 12));
    int32_t row[3] = {};
    EXPECT_EQ(read_elevation_line(t.f, row, 3), 12u);
    EXPECT_EQ(row[0], 1);
    EXPECT_EQ(row[1], -1);
    EXPECT_EQ(row[2], static_cast<int32_t>(0x80000100u));

    TextFile m(std::string("\xff\x00\x80", 3));
    unsigned char tones[3] = {};
    EXPECT_EQ(read_mask_line(m.f, tones, 3), 3u);
    EXPECT_EQ(tones[0], 255);
    EXPECT_EQ(tones[2], 128);

    TempFolder temp;
    std::FILE* out = std::fopen((temp / "o").c_str(), "wb");
    const int32_t written[2] = {1, -2};
    EXPECT_TRUE(write_elevation_line(out, written, 2));
    std::fclose(out);
    EXPECT_EQ(read_file(temp / "o"), std::string("\x01\x00\x00\x00\xfe\xff\xff\xff", 8));
}
