// Raster loading in-process: a raw file that holds the whole raster is read
// in place, a shorter one advances one line at a time into its grid, short
// files leave zeros and one warning, and every raw input file is closed,
// whatever the number of threads. A file read in place that is cut shorter
// during the computation stops the run as a read error.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/console_capture.hpp"
#include "tests/support/raster_files.hpp"
#include "console/run_grids.hpp"
#include "console/stages.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

// A run of `lines` x `columns` with its raw input files open on `contents`
// (slope model, railing, zone, contour and, when a fifth is given, the
// perimeter: water bodies) and its input rasters made, as the dialog leaves it.
struct Loaded {
    Loaded(int32_t lines, int32_t columns, const std::vector<std::string>& contents, int32_t threads = 1) {
        run.nb_lig = lines;
        run.nb_col = columns;
        run.parameters.water_bodies = contents.size() == 5;
        run.threads = threads;
        for (std::size_t k = 0; k < contents.size(); ++k) {
            FilePair& pair = run.files[k];
            pair.raw_path = temp / ("raw" + std::to_string(k));
            write_file(pair.raw_path, contents[k]);
            pair.raw.reset(std::fopen(pair.raw_path.c_str(), "rb"));
        }
        ConsoleCapture io("");
        EXPECT_TRUE(allocate_run_grids(run, io.console));
    }
    std::string load() {
        ConsoleCapture io("");
        EXPECT_EQ(lecture(run, io.console), Outcome::go_on);
        for (const FilePair& pair : run.files) EXPECT_FALSE(pair.raw) << pair.raw_path << " left open";
        return io.printed();
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

TEST(Lecture, FillsEveryGridLineByLineOnAnyNumberOfThreads) {
    std::vector<int32_t> elevations(15);
    for (int k = 0; k < 15; ++k) elevations[static_cast<std::size_t>(k)] = (k % 2 == 0 ? 1 : -1) * (k * 1000 + 7);
    // One byte more in every file: bytes beyond the stated size are not taken.
    std::vector<std::string> contents = {little_endian_int32s(elevations) + "\x01\x02\x03\x04", tones(16, 0),
                                         tones(16, 20), tones(16, 240), tones(16, 200)};
    for (const bool lake : {true, false}) {
        if (!lake) contents.resize(4);
        for (const int32_t threads : {1, 2, 5}) {
            Loaded l(3, 5, contents, threads);
            EXPECT_TRUE(l.run.itab_in.by_pages() && l.run.tab_bar.in_place() && l.run.tab_in.in_place());
            EXPECT_EQ(l.load(), "");
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 5; ++j) {
                    const int k = i * 5 + j;
                    EXPECT_EQ(l.run.itab_in.at(i, j), elevations[static_cast<std::size_t>(k)]);
                    EXPECT_EQ(l.run.tab_bar[i][j], k);
                    EXPECT_EQ(l.run.tab_in[i][j], 20 + k);
                    EXPECT_EQ(l.run.tab_curv[i][j], 240 + k);  // 255 is a tone, never -1
                    if (lake) {
                        EXPECT_EQ(l.run.tab_perim[i][j], 200 + k);
                    }
                }
            }
        }
    }
}

TEST(Lecture, AShortRawFileLeavesZerosAndOneWarningNamingItAndItsFullLines) {
    // The channel mask lacks its last line; the railing is empty; the contour
    // stops in the middle of its second line.
    Loaded l(3, 5, {little_endian_int32s(std::vector<int32_t>(15, 9)), "", tones(10, 1), tones(7, 1)});
    const auto warning = [&](Role role, int lines) {
        return "\n Aviso: el archivo " + l.run.pair(role).raw_path + " solo tiene " + std::to_string(lines) +
               " de las 3 lineas de la imagen; el resto queda en 0 \n";
    };
    // Only the slope model holds the whole raster: the masks are read into grids.
    EXPECT_TRUE(l.run.itab_in.by_pages());
    EXPECT_FALSE(l.run.tab_bar.in_place() || l.run.tab_in.in_place() || l.run.tab_curv.in_place());
    EXPECT_EQ(l.load(), warning(Role::railing, 0) + warning(Role::zone, 2) + warning(Role::contour, 1));
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(l.run.tab_bar[0][j], 0);
        EXPECT_EQ(l.run.tab_in[1][j], 6 + j);
        EXPECT_EQ(l.run.tab_in[2][j], 0);
        EXPECT_EQ(l.run.itab_in.at(2, j), 9);
    }
    // The part of a line the file did supply is kept.
    EXPECT_EQ(l.run.tab_curv[1][0], 6);
    EXPECT_EQ(l.run.tab_curv[1][1], 7);
    EXPECT_EQ(l.run.tab_curv[1][2], 0);
}

TEST(Lecture, AnEmptyRasterReadsNothingAndClosesTheFiles) {
    for (auto [lines, columns] : {std::pair{0, 5}, std::pair{3, 0}}) {
        Loaded l(lines, columns, {"abcd", "x", "x", "x", "x"});
        EXPECT_EQ(l.load(), "");
    }
}

TEST(Lecture, AFileCutShorterWhileReadInPlaceStopsTheComputationAsAReadError) {
    // Every mask 1, the tones' value: the whole raster is channel, railing
    // and contour line, so the computation reads every file.
    const std::string ones(2 * 4096, '\x01');
    Loaded l(2, 4096, {little_endian_int32s(std::vector<int32_t>(2 * 4096, 7)), ones, ones, ones});
    l.run.parameters = {1, 1, 1, 0, 0, 10, false};
    ASSERT_TRUE(l.run.tab_curv.in_place());
    EXPECT_EQ(l.load(), "");
    std::filesystem::resize_file(l.run.pair(Role::contour).raw_path, 0);
    ConsoleCapture io("");
    EXPECT_EQ(treatment(l.run, io.console), Outcome::failed);
    const std::string error =
        "\n Error de lectura en el archivo " + l.run.pair(Role::contour).raw_path + ": no se escribio ningun resultado \n";
    EXPECT_EQ(io.printed().substr(io.printed().size() - error.size()), error);
}
