// A whole run in-process through the driver: the exit status and the key
// press of each way a run can end.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "console_capture.hpp"
#include "dialog_text.hpp"
#include "driver.hpp"
#include "raster_files.hpp"
#include "temp_folder.hpp"

namespace {

class Driver : public ::testing::Test {
protected:
    void SetUp() override { write_scenario(images_, 3, 5); }

    TempFolder temp_;
    std::string images_ = temp_ / "images";
    std::string folder_ = images_ + "/rio1/";
    ScopedImageRoot root_{images_};
};

}  // namespace

TEST_F(Driver, ACompleteRunEndsWithStatusZeroAndTheResultWritten) {
    ConsoleCapture io(RunAnswers{}.text());
    ::Run run;
    EXPECT_EQ(run_program(run, io.console), 0);
    EXPECT_EQ(io.key_waits, 0);
    EXPECT_EQ(io.printed().rfind(dialog_text::opening(false) + dialog_text::parameters(false), 0), 0u);
    EXPECT_EQ(read_file(folder_ + "resultado_m4.raw").size(), 60u);
    const std::string descriptor = read_file(folder_ + "resultado_m4.txt");
    EXPECT_EQ(descriptor.rfind("3\n5\n4\n", 0), 0u) << descriptor;
}

TEST_F(Driver, AFatalStopWaitsForOneKeyAndEndsWithStatusZero) {
    std::filesystem::remove(folder_ + "bar.raw");
    ConsoleCapture io(RunAnswers{}.text());
    ::Run run;
    EXPECT_EQ(run_program(run, io.console), 0);
    EXPECT_EQ(io.key_waits, 1);
    EXPECT_FALSE(std::filesystem::exists(folder_ + "resultado_m4.raw"));
}

TEST_F(Driver, ALostResultEndsWithStatusOneWithoutWaiting) {
    std::filesystem::create_symlink("/dev/full", folder_ + "resultado_m4.raw");
    ConsoleCapture io(RunAnswers{}.text());
    ::Run run;
    EXPECT_EQ(run_program(run, io.console), 1);
    EXPECT_EQ(io.key_waits, 0);
    const std::string message =
        "\n No se pudo escribir completo el archivo " + folder_ + "resultado_m4.raw: el resultado no es valido \n";
    const std::string printed = io.printed();
    ASSERT_GE(printed.size(), message.size());
    EXPECT_EQ(printed.substr(printed.size() - message.size()), message);
}
