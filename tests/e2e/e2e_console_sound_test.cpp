// The real program where input is wrong, missing or too large, or the result
// cannot be written: each message, the exit status, and that no input file is
// ever emptied.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialog_text.hpp"
#include "raster_files.hpp"
#include "run_binary.hpp"
#include "temp_folder.hpp"

namespace dt = dialog_text;

namespace {

class Sound : public ::testing::Test {
protected:
    void SetUp() override { write_scenario(images_, 5, 6); }

    BinaryRun run(const std::string& answers) {
        return run_binary(lorvantide_binary(), temp_.path().string(), answers, {{"LORVANTIDE_IMAGES", images_}});
    }
    bool result_exists() const {
        return std::filesystem::exists(folder_ + "resultado_m4.raw") ||
               std::filesystem::exists(folder_ + "resultado_m4.txt");
    }

    TempFolder temp_;
    std::string images_ = temp_ / "images";
    std::string folder_ = images_ + "/rio1/";
};

const std::string kUpToMenu = dt::kBanner + dt::kFolder + dt::kSlope + dt::kRailing + dt::kChannel + dt::kContour +
                              dt::kMenu;

}  // namespace

TEST_F(Sound, AMissingFileStopsWithItsHostPathAndStatusZeroWithoutWaiting) {
    std::filesystem::remove(folder_ + "cauce.raw");
    const BinaryRun r = run(RunAnswers{}.text());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, dt::kBanner + dt::kFolder + dt::kSlope + dt::kRailing + dt::kChannel +
                         dt::no_file(folder_ + "cauce.raw"));
    EXPECT_FALSE(result_exists());
}

TEST_F(Sound, TheImageRootDefaultsToImagesUnderTheCurrentFolder) {
    std::filesystem::remove(folder_ + "valle_m4.txt");
    const BinaryRun r = run_binary(lorvantide_binary(), temp_.path().string(), RunAnswers{}.text(),
                                   {{"LORVANTIDE_IMAGES", ""}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, dt::kBanner + dt::kFolder + dt::kSlope + dt::no_file("images/rio1/valle_m4.txt"));
}

TEST_F(Sound, AMaskOfAnotherSizeStops) {
    write_file(folder_ + "curva.txt", "5\n7\n");
    const BinaryRun r = run(RunAnswers{}.text());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, kUpToMenu.substr(0, kUpToMenu.size() - dt::kMenu.size()) + dt::kSizeContour);
}

TEST_F(Sound, NamesLongerThan127CharactersAreTakenWhole) {
    const std::string folder(120, 'f');
    const std::string name(120, 'n');
    write_scenario(images_ + "/" + folder, 5, 6);  // images/<folder>/rio1/...
    RunAnswers answers;
    answers.folder = folder + "\\rio1";
    answers.slope = "..\\rio1\\valle";  // folder and name typed: 138 characters
    answers.result = name;
    const BinaryRun r = run(answers.text());
    EXPECT_EQ(r.exit_status, 0);
    const std::string result = images_ + "/" + folder + "/rio1/" + name;
    EXPECT_EQ(read_file(result + "_m4.raw").size(), 4u * 5u * 6u);
    EXPECT_EQ(read_file(result + "_m4.txt").rfind("5\n6\n4\n", 0), 0u);
}

TEST_F(Sound, AMalformedOrNegativeDescriptorIsNamed) {
    for (const char* descriptor : {"cinco seis", "-5 6 4 0 0 10", "5"}) {
        write_file(folder_ + "valle_m4.txt", descriptor);
        const BinaryRun r = run(RunAnswers{}.text());
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, dt::kBanner + dt::kFolder + dt::kSlope + "\n El descriptor " + folder_ +
                             "valle_m4.txt no empieza con dos enteros decimales no negativos (lineas y columnas) \n")
            << descriptor;
    }
    write_scenario(images_, 5, 6);
    write_file(folder_ + "bar.txt", "5 -6");
    const BinaryRun r = run(RunAnswers{}.text());
    EXPECT_EQ(r.out, dt::kBanner + dt::kFolder + dt::kSlope + dt::kRailing + "\n El descriptor " + folder_ +
                         "bar.txt no empieza con dos enteros decimales no negativos (lineas y columnas) \n");
    EXPECT_FALSE(result_exists());
}

TEST_F(Sound, AnEmptyRasterRunsToTheEnd) {
    for (auto [lines, columns] : {std::pair{0, 6}, std::pair{5, 0}, std::pair{0, 0}}) {
        write_scenario(images_, lines, columns);
        RunAnswers answers;
        answers.presence = "1";
        const BinaryRun r = run(answers.text());
        EXPECT_EQ(r.exit_status, 0) << lines << "x" << columns;
        EXPECT_EQ(r.out.rfind(dt::opening(true) + dt::parameters(true), 0), 0u);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_file(folder_ + "resultado_m4.raw"), "");
        EXPECT_EQ(read_file(folder_ + "resultado_m4.txt"),
                  std::to_string(lines) + "\n" + std::to_string(columns) + "\n4\n1000000\n0\n10\n");
    }
}

TEST_F(Sound, ARasterLargerThanMemoryStopsBeforeTheResultIsCreated) {
    write_file(folder_ + "resultado_m4.raw", "previous result");
    write_file(folder_ + "valle_m4.txt", "1000000\n1000000\n4\n0\n0\n10\n");
    for (const char* mask : {"bar", "cauce", "curva", "lago"}) write_file(folder_ + mask + ".txt", "1000000 1000000");
    RunAnswers answers;
    answers.presence = "1";
    const BinaryRun r = run(answers.text());
    EXPECT_EQ(r.exit_status, 0);
    // 21 bytes per pixel and eight row tables of 8-byte pointers.
    EXPECT_EQ(r.out, kUpToMenu + dt::kPerimeter + dt::kResult +
                         "\n No hay memoria para la imagen de 1000000 lineas y 1000000 columnas: necesita "
                         "21000064000000 bytes \n");
    EXPECT_EQ(read_file(folder_ + "resultado_m4.raw"), "previous result");

    write_file(folder_ + "valle_m4.txt", "2147483647 2147483647 4 0 0 10");
    for (const char* mask : {"bar", "cauce", "curva", "lago"}) write_file(folder_ + mask + ".txt", "2147483647 2147483647");
    const BinaryRun huge = run(answers.text());
    EXPECT_EQ(huge.exit_status, 0);
    EXPECT_EQ(huge.out, kUpToMenu + dt::kPerimeter + dt::kResult +
                            "\n No hay memoria para la imagen de 2147483647 lineas y 2147483647 columnas: necesita "
                            "mas de 18446744073709551615 bytes \n");
}

TEST_F(Sound, GridsThatCannotBeAllocatedStopBeforeTheResultIsCreated) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    // 500 MB of grids within a 256 MB address space: the allocation itself fails.
    write_file(folder_ + "valle_m4.txt", "5000 5000 4 0 0 10");
    for (const char* mask : {"bar", "cauce", "curva"}) write_file(folder_ + mask + ".txt", "5000 5000");
    const BinaryRun r = run_binary_with_memory_limit(lorvantide_binary(), temp_.path().string(), RunAnswers{}.text(),
                                                     {{"LORVANTIDE_IMAGES", images_}}, 256ull << 20);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, kUpToMenu + dt::kResult +
                         "\n No hay memoria para la imagen de 5000 lineas y 5000 columnas: necesita 500280000 "
                         "bytes \n");
    EXPECT_FALSE(result_exists());
#endif
}

TEST_F(Sound, AResultDesignatingAnInputIsRefusedAndAskedAgain) {
    const std::string slope = read_file(folder_ + "valle_m4.raw");
    const std::string slope_descriptor = read_file(folder_ + "valle_m4.txt");
    RunAnswers answers;
    answers.result = "valle\nresultado";
    const BinaryRun r = run(answers.text());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out.rfind(kUpToMenu + dt::kResult + "\n El archivo " + folder_ +
                              "valle_m4.raw es uno de los archivos de entrada: el resultado necesita otro nombre \n" +
                              dt::kResult + dt::parameters(false),
                          0),
              0u);
    EXPECT_EQ(read_file(folder_ + "valle_m4.raw"), slope);
    EXPECT_EQ(read_file(folder_ + "valle_m4.txt"), slope_descriptor);
    EXPECT_EQ(read_file(folder_ + "resultado_m4.raw").size(), 4u * 5u * 6u);
}

TEST_F(Sound, AResultPairThatCannotBeCreatedStopsBeforeTheParameters) {
    RunAnswers answers;
    answers.result = "falta\\resultado";
    const BinaryRun r = run(answers.text());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, kUpToMenu + dt::kResult + "\n No se puede crear el archivo " + folder_ + "falta/resultado_m4.raw \n");
}

TEST_F(Sound, AnswersThatAreNotIntegersAreAskedAgain) {
    RunAnswers answers;
    answers.presence = "ninguno 0";
    answers.tono_bar = "blanco 255";
    answers.alti_lim = "1.5e2 150";
    const BinaryRun r = run(answers.text());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out.rfind(kUpToMenu + dt::kMenu + dt::kResult + dt::kToneChannel + dt::kToneRailing +
                              dt::kToneRailing + dt::kRailingHeight + dt::kToneContour + dt::kContourAltitude +
                              dt::kContourAltitude + "\n\n primer paso",
                          0),
              0u);
}

TEST_F(Sound, TheEndOfTheAnswersStopsTheRun) {
    // Words only where integers are asked: each is dropped until the input ends.
    const BinaryRun r = run("rio1\nvalle\nbar\ncauce\ncurva\nno se\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, kUpToMenu + dt::kMenu + dt::kMenu + dt::kEndOfAnswers);

    const BinaryRun params = run("rio1 valle bar cauce curva 0 resultado 255 255\n");
    EXPECT_EQ(params.exit_status, 0);
    EXPECT_EQ(params.out, kUpToMenu + dt::kResult + dt::kToneChannel + dt::kToneRailing + dt::kRailingHeight +
                              dt::kEndOfAnswers);
}

TEST_F(Sound, AShortRawFileWarnsOnceAndTheRunGoesOn) {
    write_file(folder_ + "bar.raw", std::string(6 * 3 + 2, '\0'));
    const BinaryRun r = run(RunAnswers{}.text());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out.rfind(dt::opening(false) + dt::parameters(false) + "\n Aviso: el archivo " + folder_ +
                              "bar.raw solo tiene 3 de las 5 lineas de la imagen; el resto queda en 0 \n\n\n primer paso",
                          0),
              0u);
    EXPECT_EQ(read_file(folder_ + "resultado_m4.raw").size(), 4u * 5u * 6u);
}

TEST_F(Sound, ElevationsBeyondThe32BitRangeSaturate) {
    // Every channel elevation lies between the railing's slope elevation less
    // a negative railing height, 2147485000, and the contour's 2147483647:
    // none fits below the top of the range, so every channel pixel holds it.
    write_elevation_pair(folder_, "valle", 5, 6, std::vector<int32_t>(30, 2147483000));
    RunAnswers answers;
    answers.alti_bar = "-2000";
    answers.alti_lim = "2147483647";
    const BinaryRun r = run(answers.text());
    EXPECT_EQ(r.exit_status, 0);
    const std::vector<int32_t> raster = int32s_from_little_endian(read_file(folder_ + "resultado_m4.raw"));
    ASSERT_EQ(raster.size(), 30u);
    for (std::size_t k = 0; k < raster.size(); ++k) {
        const std::size_t line = k / 6;
        EXPECT_EQ(raster[k], line == 0 || line == 2 || line == 4 ? 0 : 2147483647) << k;
    }
    EXPECT_EQ(read_file(folder_ + "resultado_m4.txt"), "5\n6\n4\n0\n2147483647\n10\n");
}

TEST_F(Sound, AResultOnAFullDiskIsReportedWithStatusOne) {
    std::filesystem::create_symlink("/dev/full", folder_ + "resultado_m4.raw");
    const BinaryRun r = run(RunAnswers{}.text());
    EXPECT_EQ(r.exit_status, 1);
    const std::string message =
        "\n No se pudo escribir completo el archivo " + folder_ + "resultado_m4.raw: el resultado no es valido \n";
    ASSERT_GE(r.out.size(), message.size());
    EXPECT_EQ(r.out.substr(r.out.size() - message.size()), message);
    EXPECT_EQ(read_file(folder_ + "resultado_m4.txt"), "");

    std::filesystem::remove(folder_ + "resultado_m4.raw");
    std::filesystem::create_symlink("/dev/full", folder_ + "otro_m4.txt");
    RunAnswers answers;
    answers.result = "otro";
    const BinaryRun d = run(answers.text());
    EXPECT_EQ(d.exit_status, 1);
    const std::string descriptor_message =
        "\n No se pudo escribir completo el archivo " + folder_ + "otro_m4.txt: el resultado no es valido \n";
    ASSERT_GE(d.out.size(), descriptor_message.size());
    EXPECT_EQ(d.out.substr(d.out.size() - descriptor_message.size()), descriptor_message);
    EXPECT_EQ(read_file(folder_ + "otro_m4.raw").size(), 4u * 5u * 6u);
}
