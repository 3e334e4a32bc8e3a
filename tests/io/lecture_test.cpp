// Raster loading in-process: each raw file advances one line at a time into
// its grid, short files leave zeros and one warning, and every raw input file
// is closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console_capture.hpp"
#include "nrutil.hpp"
#include "raster_files.hpp"
#include "stages.hpp"
#include "temp_folder.hpp"

namespace {

// A run of `lines` x `columns` with its raw input files open on the given
// contents (the perimeter only when `perimeter` is given) and grids made.
class Loaded {
public:
    Loaded(int32_t lines, int32_t columns, const std::string& slope, const std::string& railing,
           const std::string& channel, const std::string& contour, const std::string* perimeter = nullptr) {
        run.nb_lig = lines;
        run.nb_col = columns;
        open(run.f1, run.nomim1, "valle_m4.raw", slope);
        open(run.f2, run.nomim2, "bar.raw", railing);
        open(run.f3, run.nomim3, "cauce.raw", channel);
        open(run.f4, run.nomim4, "curva.raw", contour);
        if (perimeter != nullptr) {
            run.presence = 1;
            open(run.f6, run.nomim6, "lago.raw", *perimeter);
            run.tab_perim = ucmatrice(columns, lines);
        }
        run.itab_in = imatrice(columns, lines);
        run.tab_bar = ucmatrice(columns, lines);
        run.tab_in = ucmatrice(columns, lines);
        run.tab_curv = ucmatrice(columns, lines);
    }

    // Keeps a second handle on each file to see how far loading read it.
    void open(std::FILE*& f, std::string& path, const std::string& name, const std::string& bytes) {
        path = temp / name;
        write_file(path, bytes);
        f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
    }

    TempFolder temp;
    ::Run run;
};

std::string tones(std::size_t count, unsigned char first) {
    std::string bytes;
    for (std::size_t k = 0; k < count; ++k) bytes.push_back(static_cast<char>(first + k));
    return bytes;
}

}  // namespace

TEST(Lecture, FillsEveryGridLineByLineAndClosesTheRawFiles) {
    std::vector<int32_t> elevations(15);
    for (int k = 0; k < 15; ++k) elevations[static_cast<std::size_t>(k)] = (k % 2 == 0 ? 1 : -1) * (k * 1000 + 7);
    // One byte more in every file: bytes beyond the stated size are not taken.
    const std::string slope = little_endian_int32s(elevations) + "\x01\x02\x03\x04";
    const std::string perimeter = tones(16, 200);
    Loaded l(3, 5, slope, tones(16, 0), tones(16, 20), tones(16, 240), &perimeter);
    ConsoleCapture io("");
    EXPECT_EQ(lecture(l.run, io.console), Outcome::go_on);
    EXPECT_EQ(io.printed(), "");
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 5; ++j) {
            const int k = i * 5 + j;
            EXPECT_EQ(l.run.itab_in[i][j], elevations[static_cast<std::size_t>(k)]);
            EXPECT_EQ(l.run.tab_bar[i][j], k);
            EXPECT_EQ(l.run.tab_in[i][j], 20 + k);
            EXPECT_EQ(l.run.tab_curv[i][j], 240 + k);  // 255 is a tone, never -1
            EXPECT_EQ(l.run.tab_perim[i][j], 200 + k);
        }
    }
    for (std::FILE* f : {l.run.f1, l.run.f2, l.run.f3, l.run.f4, l.run.f6}) EXPECT_EQ(f, nullptr);
}

TEST(Lecture, AShortRawFileLeavesZerosAndOneWarningNamingItAndItsFullLines) {
    // The channel mask lacks its last line; the railing is empty; the contour
    // stops in the middle of its second line.
    Loaded l(3, 5, little_endian_int32s(std::vector<int32_t>(15, 9)), "", tones(10, 1), tones(7, 1));
    ConsoleCapture io("");
    EXPECT_EQ(lecture(l.run, io.console), Outcome::go_on);
    EXPECT_EQ(io.printed(), "\n Aviso: el archivo " + l.run.nomim2 +
                                " solo tiene 0 de las 3 lineas de la imagen; el resto queda en 0 \n"
                                "\n Aviso: el archivo " + l.run.nomim3 +
                                " solo tiene 2 de las 3 lineas de la imagen; el resto queda en 0 \n"
                                "\n Aviso: el archivo " + l.run.nomim4 +
                                " solo tiene 1 de las 3 lineas de la imagen; el resto queda en 0 \n");
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(l.run.tab_bar[0][j], 0);
        EXPECT_EQ(l.run.tab_in[1][j], 6 + j);
        EXPECT_EQ(l.run.tab_in[2][j], 0);
        EXPECT_EQ(l.run.itab_in[2][j], 9);
    }
    // The part of a line the file did supply is kept.
    EXPECT_EQ(l.run.tab_curv[1][0], 6);
    EXPECT_EQ(l.run.tab_curv[1][1], 7);
    EXPECT_EQ(l.run.tab_curv[1][2], 0);
}

TEST(Lecture, WithoutWaterBodiesNoPerimeterIsRead) {
    Loaded l(2, 2, little_endian_int32s({1, 2, 3, 4}), tones(4, 1), tones(4, 1), tones(4, 1));
    ConsoleCapture io("");
    EXPECT_EQ(lecture(l.run, io.console), Outcome::go_on);
    EXPECT_EQ(l.run.tab_perim, nullptr);
    EXPECT_EQ(l.run.itab_in[1][1], 4);
}

TEST(Lecture, AnEmptyRasterReadsNothingAndClosesTheFiles) {
    for (auto [lines, columns] : {std::pair{0, 5}, std::pair{3, 0}}) {
        const std::string perimeter = "x";
        Loaded l(lines, columns, "abcd", "x", "x", "x", &perimeter);
        ConsoleCapture io("");
        EXPECT_EQ(lecture(l.run, io.console), Outcome::go_on);
        EXPECT_EQ(io.printed(), "");
        for (std::FILE* f : {l.run.f1, l.run.f2, l.run.f3, l.run.f4, l.run.f6}) EXPECT_EQ(f, nullptr);
    }
}
