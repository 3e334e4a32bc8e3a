// The input dialog run in-process: exact bytes of the banner and prompts, how
// answers are taken, and the water-body menu.
#include <gtest/gtest.h>

#include <string>

#include "console_capture.hpp"
#include "dialog_text.hpp"
#include "raster_files.hpp"
#include "stages.hpp"
#include "temp_folder.hpp"

namespace dt = dialog_text;

namespace {

class OpeningDialog : public ::testing::Test {
protected:
    void SetUp() override { write_scenario(images_, 3, 5); }

    TempFolder temp_;
    std::string images_ = (temp_ / "images");
    std::string folder_ = images_ + "/rio1/";
    ScopedImageRoot root_{images_};
};

// Answers of the input dialog alone, one to a line.
std::string opening_answers(const std::string& presence) {
    std::string t = "rio1\nvalle\nbar\ncauce\ncurva\n" + presence + "\n";
    if (presence == "1") t += "lago\n";
    return t + "resultado\n";
}

}  // namespace

TEST_F(OpeningDialog, PrintsBannerAndPromptsByteForByteAndOpensEveryPair) {
    ConsoleCapture io(opening_answers("0"));
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::go_on);
    EXPECT_EQ(io.printed(), dt::opening(false));
    EXPECT_EQ(io.key_waits, 0);

    // The slope model's descriptor gives the size and the pixel size.
    EXPECT_EQ(run.nb_lig, 3);
    EXPECT_EQ(run.nb_col, 5);
    EXPECT_EQ(run.byte, 4);
    EXPECT_EQ(run.min_dyn, 116);
    EXPECT_EQ(run.max_dyn, 120);
    EXPECT_EQ(run.pix_size, 10);
    EXPECT_EQ(run.presence, 0);
    // Host paths: the root stands for c:\images\, the typed names follow.
    EXPECT_EQ(run.nomim1, folder_ + "valle_m4.raw");
    EXPECT_EQ(run.nomdescr1, folder_ + "valle_m4.txt");
    EXPECT_EQ(run.nomim2, folder_ + "bar.raw");
    EXPECT_EQ(run.nomdescr3, folder_ + "cauce.txt");
    EXPECT_EQ(run.nomim4, folder_ + "curva.raw");
    EXPECT_EQ(run.nomim5, folder_ + "resultado_m4.raw");
    EXPECT_EQ(run.nomdescr5, folder_ + "resultado_m4.txt");
    for (std::FILE* f : {run.f1, run.f1d, run.f2, run.f2d, run.f3, run.f3d, run.f4, run.f4d, run.f5, run.f5d})
        EXPECT_NE(f, nullptr);
    EXPECT_EQ(run.f6, nullptr);
    EXPECT_EQ(run.f6d, nullptr);
    // The grids exist, zero-filled, and the perimeter grid only with water bodies.
    ASSERT_NE(run.itab_in, nullptr);
    EXPECT_EQ(run.itab_in[2][4], 0);
    EXPECT_NE(run.tab_bar, nullptr);
    EXPECT_NE(run.tab_in, nullptr);
    EXPECT_NE(run.tab_curv, nullptr);
    EXPECT_NE(run.itab_out, nullptr);
    ASSERT_NE(run.dtab, nullptr);
    EXPECT_EQ(run.dtab[2][4], 0.0);
    EXPECT_EQ(run.tab_perim, nullptr);
    // The result pair exists, empty.
    EXPECT_EQ(read_file(run.nomim5), "");
    EXPECT_EQ(read_file(run.nomdescr5), "");
}

TEST_F(OpeningDialog, WaterBodiesAddThePerimeterPromptPairAndGrid) {
    ConsoleCapture io(opening_answers("1"));
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::go_on);
    EXPECT_EQ(io.printed(), dt::opening(true));
    EXPECT_EQ(run.presence, 1);
    EXPECT_EQ(run.nomim6, folder_ + "lago.raw");
    EXPECT_EQ(run.nomdescr6, folder_ + "lago.txt");
    EXPECT_NE(run.f6, nullptr);
    EXPECT_NE(run.f6d, nullptr);
    EXPECT_NE(run.tab_perim, nullptr);
}

TEST_F(OpeningDialog, AnswersAreWordsWhateverTheLinesHoldingThem) {
    // Two words on one line answer two prompts; empty lines answer nothing.
    for (const std::string& answers : {std::string("rio1 valle\nbar\tcauce curva 0 resultado\n"),
                                      std::string("\n\nrio1\n\n   \nvalle\n\nbar\ncauce\ncurva\n\n0\nresultado\n")}) {
        ConsoleCapture io(answers);
        ::Run run;
        EXPECT_EQ(opening(run, io.console), Outcome::go_on) << answers;
        EXPECT_EQ(io.printed(), dt::opening(false)) << answers;
        EXPECT_EQ(run.nomim3, folder_ + "cauce.raw");
    }
}

TEST_F(OpeningDialog, WaterBodyMenuRepeatsAboveOneAndTakesAnyOtherValueAsNo) {
    struct Case {
        std::string answers;  // from the menu on
        std::string printed;  // from the menu on
        int32_t presence;
    };
    const Case cases[] = {
        {"1\nlago\nresultado\n", dt::kMenu + dt::kPerimeter + dt::kResult, 1},
        {"0\nresultado\n", dt::kMenu + dt::kResult, 0},
        {"2\n0\nresultado\n", dt::kMenu + dt::kMenu + dt::kResult, 0},
        {"7\n2\n1\nlago\nresultado\n", dt::kMenu + dt::kMenu + dt::kMenu + dt::kPerimeter + dt::kResult, 1},
        {"-1\nresultado\n", dt::kMenu + dt::kResult, -1},
        // A word that is not a decimal integer is dropped and the menu shown again.
        {"si\n1x\n0\nresultado\n", dt::kMenu + dt::kMenu + dt::kMenu + dt::kResult, 0},
        {"99999999999\n0\nresultado\n", dt::kMenu + dt::kMenu + dt::kResult, 0},
    };
    const std::string before_menu = dt::kBanner + dt::kFolder + dt::kSlope + dt::kRailing + dt::kChannel + dt::kContour;
    for (const Case& c : cases) {
        ConsoleCapture io("rio1\nvalle\nbar\ncauce\ncurva\n" + c.answers);
        ::Run run;
        EXPECT_EQ(opening(run, io.console), Outcome::go_on) << c.answers;
        EXPECT_EQ(io.printed(), before_menu + c.printed) << c.answers;
        EXPECT_EQ(run.presence, c.presence) << c.answers;
        EXPECT_EQ(run.f6 != nullptr, c.presence == 1) << c.answers;
    }
}

TEST_F(OpeningDialog, NamesLongerThan127CharactersAreTakenWhole) {
    const std::string long_folder(150, 'c');
    const std::string long_name(140, 'v');
    write_elevation_pair(images_ + "/" + long_folder, long_name, 3, 5, std::vector<int32_t>(15, 7));
    for (const char* mask : {"bar", "cauce", "curva"})
        write_mask_pair(images_ + "/" + long_folder, mask, 3, 5, std::vector<unsigned char>(15, 0));
    const std::string long_result(130, 'r');
    ConsoleCapture io(long_folder + "\n" + long_name + "\nbar\ncauce\ncurva\n0\n" + long_result + "\n");
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::go_on);
    EXPECT_EQ(run.nomim1, images_ + "/" + long_folder + "/" + long_name + "_m4.raw");
    EXPECT_EQ(run.nomim5, images_ + "/" + long_folder + "/" + long_result + "_m4.raw");
    EXPECT_NE(run.f5, nullptr);
}

TEST_F(OpeningDialog, BackslashesInTypedNamesBecomeHostSeparators) {
    write_scenario(images_ + "/rio1", 3, 5);  // images/rio1/rio1/...
    ConsoleCapture io("rio1\\rio1\nvalle\nbar\ncauce\ncurva\n0\nresultado\n");
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::go_on);
    EXPECT_EQ(run.nomim1, images_ + "/rio1/rio1/valle_m4.raw");
}

TEST_F(OpeningDialog, AnExistingResultPairIsEmptiedBeforeTheParameters) {
    write_file(folder_ + "resultado_m4.raw", "old raster");
    write_file(folder_ + "resultado_m4.txt", "old descriptor");
    ConsoleCapture io(opening_answers("0"));
    ::Run run;
    EXPECT_EQ(opening(run, io.console), Outcome::go_on);
    EXPECT_EQ(read_file(folder_ + "resultado_m4.raw"), "");
    EXPECT_EQ(read_file(folder_ + "resultado_m4.txt"), "");
}

TEST_F(OpeningDialog, AnEmptyRasterOpensWithoutGrids) {
    for (auto [lines, columns] : {std::pair{0, 5}, std::pair{3, 0}, std::pair{0, 0}}) {
        write_scenario(images_, lines, columns);
        ConsoleCapture io(opening_answers("1"));
        ::Run run;
        EXPECT_EQ(opening(run, io.console), Outcome::go_on) << lines << "x" << columns;
        EXPECT_EQ(io.printed(), dt::opening(true));
        EXPECT_EQ(run.nb_lig, lines);
        EXPECT_EQ(run.nb_col, columns);
        EXPECT_EQ(run.itab_in, nullptr);
        EXPECT_EQ(run.tab_perim, nullptr);
        EXPECT_EQ(run.dtab, nullptr);
        EXPECT_NE(run.f5, nullptr);
    }
}
