// The input dialog in-process: every byte it prints, the pairs it opens, the
// names it refuses, and every way it stops (no further prompt, and no result
// created or emptied).
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/console_capture.hpp"
#include "tests/support/dialog_text.hpp"
#include "tests/support/raster_files.hpp"
#include "console/run_grids.hpp"
#include "console/stages.hpp"
#include "tests/support/temp_folder.hpp"

namespace dt = dialog_text;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using dt::kUpToChannel;
using dt::kUpToContour;
using dt::kUpToMenu;
using dt::kUpToRailing;
using dt::kUpToSlope;
const std::string kNames = "rio1\nvalle\nbar\ncauce\ncurva\n";  // the answers up to the menu

std::string descriptor_message(const std::string& path) {
    return "\n El descriptor " + path + " no empieza con dos enteros decimales no negativos (lineas y columnas) \n";
}

class Opening : public ::testing::Test {
protected:
    void SetUp() override { write_scenario(images_, 3, 5); }

    // The dialog on `answers`: it must end with `outcome` after printing exactly `printed`.
    ::Run open(const std::string& answers, Outcome outcome, const std::string& printed) {
        ConsoleCapture io(answers);
        ::Run run;
        EXPECT_EQ(opening(run, io.console), outcome) << answers;
        EXPECT_EQ(io.printed(), printed) << answers;
        EXPECT_EQ(io.key_waits, 0);
        return run;
    }
    void expect_stop(const std::string& answers, const std::string& printed) {
        const ::Run run = open(answers, Outcome::fatal_stop, printed);
        EXPECT_FALSE(run.result_writer) << answers;
        EXPECT_FALSE(fs::exists(folder_ + "resultado_m4.raw")) << answers;
    }
    TempFolder temp_;
    std::string images_ = temp_ / "images";
    std::string folder_ = images_ + "/rio1/";
    ScopedImageRoot root_{images_};
};

}  // namespace

TEST_F(Opening, PrintsEveryPromptByteForByteOpensEveryPairAndLeavesTheEarlierResultAlone) {
    for (const bool lake : {false, true}) {
        write_file(folder_ + "resultado_m4.raw", "old raster");
        write_file(folder_ + "resultado_m4.txt", "old descriptor");
        const std::vector<std::string> before = names_in(folder_);
        {
            const std::string answers = kNames + (lake ? "1\nlago\n" : "0\n") + "resultado\n";
            const ::Run run = open(answers, Outcome::go_on, dt::opening(lake));
            EXPECT_EQ(run.nb_lig, 3);
            EXPECT_EQ(run.nb_col, 5);
            EXPECT_EQ(run.pix_size, 10);
            EXPECT_EQ(run.water_bodies(), lake);
            // Host paths: the image root stands for c:\images\, the typed names follow.
            const char* names[kRoleCount] = {"valle_m4", "bar", "cauce", "curva", "lago", "resultado_m4"};
            for (std::size_t k = 0; k < kRoleCount; ++k) {
                const FilePair& pair = run.files[k];
                const bool input = static_cast<Role>(k) != Role::result;
                const bool used = static_cast<Role>(k) != Role::perimeter || lake;
                EXPECT_EQ(static_cast<bool>(pair.raw), used && input) << names[k];
                EXPECT_EQ(static_cast<bool>(pair.descriptor), used && input) << names[k];
                if (used) {
                    EXPECT_EQ(pair.raw_path, folder_ + names[k] + ".raw");
                    EXPECT_EQ(pair.descriptor_path, folder_ + names[k] + ".txt");
                }
            }
            // The result is written into temporary folders beside it.
            EXPECT_TRUE(run.result_writer);
            EXPECT_TRUE(fs::exists(folder_ + ".resultado_m4.raw.lorvantide-tmp/resultado_m4.raw"));
            EXPECT_TRUE(fs::exists(folder_ + ".resultado_m4.txt.lorvantide-tmp/resultado_m4.txt"));
            EXPECT_EQ(read_file(folder_ + "resultado_m4.raw"), "old raster");
            EXPECT_EQ(read_file(folder_ + "resultado_m4.txt"), "old descriptor");
        }
        // A run that ends before its writer removes them.
        EXPECT_EQ(names_in(folder_), before);
    }
}

TEST_F(Opening, AnswersAreWordsWhateverTheLinesHoldingThem) {
    // Two words on one line answer two prompts; empty lines answer nothing.
    open("rio1 valle\nbar\tcauce curva 0 resultado\n", Outcome::go_on, dt::opening(false));
    open("\n\nrio1\n\n   \nvalle\n\nbar\ncauce\ncurva\n\n0\nresultado\n", Outcome::go_on, dt::opening(false));
}

TEST_F(Opening, WaterBodyMenuRepeatsAboveOneAndTakesAnyOtherValueAsNo) {
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
    for (const Case& c : cases) {
        const ::Run run = open(kNames + c.answers, Outcome::go_on, kUpToContour + c.printed);
        EXPECT_EQ(run.water_bodies(), c.presence == 1) << c.answers;
        EXPECT_EQ(static_cast<bool>(run.pair(Role::perimeter).raw), c.presence == 1) << c.answers;
    }
}

TEST_F(Opening, TypedNamesAreTakenWholeAndTheirBackslashesBecomeSeparators) {
    // Longer than 127 characters, and a folder typed with a backslash.
    const std::string folder(150, 'c');
    const std::string name(140, 'v');
    const std::string result(130, 'r');
    const std::string prefix = images_ + "/" + folder + "/rio1/";
    write_scenario(images_ + "/" + folder, 3, 5);
    write_elevation_pair(prefix, name, 3, 5, std::vector<int32_t>(15, 7));
    const ::Run run = open(folder + "\\rio1\n" + name + "\nbar\ncauce\ncurva\n0\n" + result + "\n", Outcome::go_on,
                         dt::opening(false));
    EXPECT_EQ(run.pair(Role::slope).raw_path, prefix + name + "_m4.raw");
    EXPECT_EQ(run.pair(Role::railing).raw_path, prefix + "bar.raw");
    EXPECT_EQ(run.pair(Role::result).raw_path, prefix + result + "_m4.raw");
    EXPECT_TRUE(run.result_writer);
}

TEST_F(Opening, AMissingFileStopsWithItsHostPath) {
    struct Case {
        std::vector<std::string> removed;
        std::string answers;
        std::string printed;  // before the message
        std::string missing;
    };
    const Case cases[] = {
        // The raw file is tried before its descriptor.
        {{"valle_m4.raw", "valle_m4.txt"}, "rio1\nvalle\n", kUpToSlope, folder_ + "valle_m4.raw"},
        {{"valle_m4.txt"}, "rio1\nvalle\n", kUpToSlope, folder_ + "valle_m4.txt"},
        {{}, "rio2\nvalle\n", kUpToSlope, images_ + "/rio2/valle_m4.raw"},
        {{}, "rio1\nvalle\nbarr\n", kUpToRailing, folder_ + "barr.raw"},
        {{"bar.txt"}, "rio1\nvalle\nbar\n", kUpToRailing, folder_ + "bar.txt"},
        {{"cauce.raw"}, kNames, kUpToChannel, folder_ + "cauce.raw"},
        {{"curva.txt"}, kNames, kUpToContour, folder_ + "curva.txt"},
        {{"lago.txt"}, kNames + "1\nlago\n", kUpToMenu + dt::kPerimeter, folder_ + "lago.txt"},
    };
    for (const Case& c : cases) {
        write_scenario(images_, 3, 5);
        for (const std::string& file : c.removed) fs::remove(folder_ + file);
        expect_stop(c.answers + "0\nresultado\n", c.printed + dt::no_file(c.missing));
    }
}

TEST_F(Opening, AMaskOneLineOrOneColumnOffStopsWithItsSizeMessage) {
    struct Mask {
        std::string name;
        std::string answers;  // the dialog up to this mask's name
        std::string printed;  // the dialog up to this mask's prompt
        std::string message;
    };
    const Mask masks[] = {
        {"bar", "rio1\nvalle\nbar\n", kUpToRailing, dt::kSizeRailing},
        {"cauce", "rio1\nvalle\nbar\ncauce\n", kUpToChannel, dt::kSizeChannel},
        {"curva", kNames, kUpToContour, dt::kSizeContour},
        {"lago", kNames + "1\nlago\n", kUpToMenu + dt::kPerimeter, dt::kSizePerimeter},
    };
    for (const Mask& m : masks) {
        for (const char* descriptor : {"4\n5\n", "3\n6\n", "2 5", "3 4 4 0 255 10"}) {
            write_file(folder_ + m.name + ".txt", descriptor);
            expect_stop(m.answers + "resultado\n", m.printed + m.message);
        }
        write_file(folder_ + m.name + ".txt", "3\n5\n");
    }
}

TEST_F(Opening, ADescriptorWithoutTwoNonNegative32BitSizesIsNamed) {
    for (const char* descriptor : {"", "tres cinco", "3", "3 x", "-3 5 4 0 0 10", "3 -5", "3.5 5",
                                   "2147483648 5", "99999999999 1", "4294967299 5", "3 4294967301"}) {
        write_scenario(images_, 3, 5);
        write_file(folder_ + "valle_m4.txt", descriptor);
        expect_stop(kNames + "0\nresultado\n", kUpToSlope + descriptor_message(folder_ + "valle_m4.txt"));
        write_scenario(images_, 3, 5);
        write_file(folder_ + "curva.txt", descriptor);
        expect_stop(kNames + "0\nresultado\n", kUpToContour + descriptor_message(folder_ + "curva.txt"));
    }
}

TEST_F(Opening, AMaskDescriptorMayHoldSixIntegersAndASlopeDescriptorFewer) {
    write_file(folder_ + "cauce.txt", "3 5 1 0 255 10");
    write_file(folder_ + "valle_m4.txt", "3\n5\n4\n");
    const ::Run run = open(kNames + "0\nresultado\n", Outcome::go_on, dt::opening(false));
    EXPECT_EQ(run.pix_size, 0);  // what the descriptor lacks is 0
}

TEST_F(Opening, TheEndOfTheAnswersStopsTheDialogWherever) {
    const std::string end = dt::kEndOfAnswers;
    expect_stop("", dt::kBanner + dt::kFolder + end);
    expect_stop("rio1\n", kUpToSlope + end);
    expect_stop(kNames, kUpToMenu + end);
    expect_stop(kNames + "5\nno\n", kUpToMenu + dt::kMenu + dt::kMenu + end);
    expect_stop(kNames + "1\n", kUpToMenu + dt::kPerimeter + end);
    expect_stop(kNames + "0\n", kUpToMenu + dt::kResult + end);
}

TEST_F(Opening, AResultNameDesignatingAnInputIsAskedAgain) {
    const auto clash = [](const std::string& path) {
        return "\n El archivo " + path + " es uno de los archivos de entrada: el resultado necesita otro nombre \n";
    };
    // A mask named x_m4 has the raw file of a result named x: the contour
    // line here, and the water-body perimeter.
    for (const char* mask : {"curva", "lago"})
        for (const char* ext : {".raw", ".txt"}) fs::copy_file(folder_ + mask + ext, folder_ + mask + "_m4" + ext);
    // Another name for the railing's descriptor, through a link.
    fs::create_symlink(folder_ + "bar.txt", folder_ + "enlace_m4.txt");
    const std::string slope = read_file(folder_ + "valle_m4.raw");
    const std::string contour = read_file(folder_ + "curva.raw");
    const std::string perimeter = read_file(folder_ + "lago.raw");

    const ::Run run = open("rio1\nvalle\nbar\ncauce\ncurva_m4\n1\nlago_m4\nvalle\ncurva\nlago\nenlace\nresultado\n",
                         Outcome::go_on,
                         kUpToMenu + dt::kPerimeter + dt::kResult + clash(folder_ + "valle_m4.raw") + dt::kResult +
                             clash(folder_ + "curva_m4.raw") + dt::kResult + clash(folder_ + "lago_m4.raw") +
                             dt::kResult + clash(folder_ + "enlace_m4.txt") + dt::kResult);
    EXPECT_EQ(run.pair(Role::result).raw_path, folder_ + "resultado_m4.raw");
    // No input was emptied.
    EXPECT_EQ(read_file(folder_ + "valle_m4.raw"), slope);
    EXPECT_EQ(read_file(folder_ + "curva_m4.raw"), contour);
    EXPECT_EQ(read_file(folder_ + "lago_m4.raw"), perimeter);
    EXPECT_EQ(read_file(folder_ + "bar.txt"), "3\n5\n");
}

TEST_F(Opening, AResultPairThatCannotBeCreatedIsNamed) {
    expect_stop(kNames + "0\nno/existe\n",
                kUpToMenu + dt::kResult + "\n No se puede crear el archivo " + folder_ + "no/existe_m4.raw \n");
    // The raster can be created but not its descriptor, a link into a folder
    // that does not exist: nothing is left behind.
    const std::vector<std::string> before = names_in(folder_);
    fs::create_symlink("no/existe.txt", folder_ + "soloraw_m4.txt");
    open(kNames + "0\nsoloraw\n", Outcome::fatal_stop,
         kUpToMenu + dt::kResult + "\n No se puede crear el archivo " + folder_ + "soloraw_m4.txt \n");
    fs::remove(folder_ + "soloraw_m4.txt");
    EXPECT_EQ(names_in(folder_), before);
    // Another user's temporary folder left in the way: named, with why.
    if (geteuid() == 0) {  // only root may make one
        const std::string foreign = folder_ + ".ajeno_m4.raw.lorvantide-tmp";
        fs::create_directory(foreign);
        ASSERT_EQ(chown(foreign.c_str(), 1234, 1234), 0);
        open(kNames + "0\najeno\n", Outcome::fatal_stop,
             kUpToMenu + dt::kResult + "\n No se puede crear el archivo " + folder_ +
                 "ajeno_m4.raw: la carpeta temporal " + foreign + " es de otro usuario \n");
    }
}

TEST_F(Opening, ARasterTooLargeForMemorySaysWhatItNeedsAndKeepsThePreviousResult) {
    write_file(folder_ + "resultado_m4.raw", "previous result");
    struct Case {
        int64_t lines;
        const char* presence;
        std::string message;
    };
    // Per pixel 15 bytes of grids and elevations (16 with the perimeter) and a
    // row pointer per line for each of the 5 grids (6); then the computation's
    // own: its 8-bit grid with its row pointers, two maps of 2 bytes per pixel
    // corner, and the samples of every ring. The raw files are as long as the
    // descriptors say (sparse: they take no room).
    const Case cases[] = {
        {1000000, "0\n", "1000000 lineas y 1000000 columnas: necesita 20000072431844 bytes \n"},
        {1000000, "1\nlago\n", "1000000 lineas y 1000000 columnas: necesita 21000080431844 bytes \n"},
    };
    for (const Case& c : cases) {
        const std::string size = std::to_string(c.lines) + " " + std::to_string(c.lines);
        write_file(folder_ + "valle_m4.txt", size + " 4 0 0 10");
        fs::resize_file(folder_ + "valle_m4.raw", static_cast<uintmax_t>(c.lines * c.lines * 4));
        for (const char* mask : {"bar", "cauce", "curva", "lago"}) {
            write_file(folder_ + mask + ".txt", size);
            fs::resize_file(folder_ + mask + ".raw", static_cast<uintmax_t>(c.lines * c.lines));
        }
        const std::string before_result = kUpToMenu + (c.presence[0] == '1' ? dt::kPerimeter : "") + dt::kResult;
        open(kNames + c.presence + "resultado\n", Outcome::fatal_stop,
             before_result + "\n No hay memoria para la imagen de " + c.message);
        EXPECT_EQ(read_file(folder_ + "resultado_m4.raw"), "previous result");
    }
    // The largest sizes cannot even be counted in 64 bits.
    EXPECT_FALSE(run_grid_bytes(2147483647, 2147483647, true).countable);
}

TEST_F(Opening, ANameHoldingAControlCharacterIsAskedAgain) {
    // A NUL would cut the path short: "lago.raw\0x" as the result would write
    // over the perimeter mask.
    const std::string perimeter = read_file(folder_ + "lago.raw");
    const std::string again = dt::kControlInName;
    open("rio\x01" "1\nrio1\nvalle\x7f\nvalle\nbar\ncauce\ncurva\n1\nla\x1bgo\nlago\nlago.raw\0x\nresultado\n"s,
         Outcome::go_on,
         dt::kBanner + dt::kFolder + again + dt::kFolder + dt::kSlope + again + dt::kSlope + dt::kRailing +
             dt::kChannel + dt::kContour + dt::kMenu + dt::kPerimeter + again + dt::kPerimeter + dt::kResult +
             again + dt::kResult);
    EXPECT_EQ(read_file(folder_ + "lago.raw"), perimeter);
}

TEST_F(Opening, AnInputThatIsNotARegularFileStopsWithItsNameAndAResultIsAskedAgain) {
    // A folder, a device (through a link) and a FIFO: none is opened for
    // reading in a way that could wait.
    const auto not_file = [](const std::string& path) {
        return "\n El archivo " + path + " no es un archivo regular: no se puede leer \n";
    };
    fs::remove(folder_ + "cauce.raw");
    fs::create_directory(folder_ + "cauce.raw");
    expect_stop(kNames + "0\nresultado\n", kUpToChannel + not_file(folder_ + "cauce.raw"));
    fs::remove(folder_ + "cauce.raw");
    write_scenario(images_, 3, 5);
    fs::remove(folder_ + "bar.txt");
    fs::create_symlink("/dev/zero", folder_ + "bar.txt");
    expect_stop(kNames + "0\nresultado\n", kUpToRailing + not_file(folder_ + "bar.txt"));
    fs::remove(folder_ + "bar.txt");
    write_scenario(images_, 3, 5);
    fs::remove(folder_ + "curva.raw");
    ASSERT_EQ(mkfifo((folder_ + "curva.raw").c_str(), 0600), 0);
    expect_stop(kNames + "0\nresultado\n", kUpToContour + not_file(folder_ + "curva.raw"));
    fs::remove(folder_ + "curva.raw");

    write_scenario(images_, 3, 5);
    const auto taken = [](const std::string& path) {
        return "\n El archivo " + path + " no es un archivo regular: el resultado necesita otro nombre \n";
    };
    fs::create_directory(folder_ + "carpeta_m4.raw");
    ASSERT_EQ(mkfifo((folder_ + "tubo_m4.txt").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", folder_ + "nulo_m4.raw");
    open(kNames + "0\ncarpeta\ntubo\nnulo\nresultado\n", Outcome::go_on,
         kUpToMenu + dt::kResult + taken(folder_ + "carpeta_m4.raw") + dt::kResult + taken(folder_ + "tubo_m4.txt") +
             dt::kResult + taken(folder_ + "nulo_m4.raw") + dt::kResult);
}

TEST_F(Opening, ARawFileUnderHalfOfItsDescriptorIsRefusedBeforeAnyMemoryIsTaken) {
    // 3 x 5: 60 bytes of slope model, 15 of each mask. Half of them is enough
    // to go on (the missing lines are reported by the loader); less is not.
    const auto short_file = [&](const std::string& name, int held, int needed) {
        return "\n El archivo " + folder_ + name + " solo tiene " + std::to_string(held) + " de los " +
               std::to_string(needed) + " bytes que indica su descriptor: no se puede usar \n";
    };
    write_file(folder_ + "valle_m4.raw", std::string(29, '\0'));
    expect_stop(kNames + "0\nresultado\n", kUpToSlope + short_file("valle_m4.raw", 29, 60));
    write_file(folder_ + "valle_m4.raw", std::string(30, '\0'));
    write_file(folder_ + "cauce.raw", std::string(7, '\0'));
    expect_stop(kNames + "0\nresultado\n", kUpToChannel + short_file("cauce.raw", 7, 15));
    write_file(folder_ + "cauce.raw", std::string(8, '\0'));
    open(kNames + "0\nresultado\n", Outcome::go_on, dt::opening(false));
    // A descriptor claiming 20000 x 20000 over an empty file.
    write_file(folder_ + "valle_m4.txt", "20000 20000 4 0 0 10");
    write_file(folder_ + "valle_m4.raw", "");
    expect_stop(kNames + "0\nresultado\n", kUpToSlope + short_file("valle_m4.raw", 0, 1600000000));
}
