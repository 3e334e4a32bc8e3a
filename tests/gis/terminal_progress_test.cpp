// Progress appears when standard error is a terminal, and -q silences it
// (and channel's summary).
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/gis/gis_fixture.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

// Runs the tool with all three standard streams on a pseudo-terminal and
// returns everything it printed there (the terminal turns "\n" into "\r\n").
std::string on_terminal(const std::vector<std::string>& arguments, int& status) {
    const std::string binary = raster_tool_binary();
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (const std::string& word : arguments) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0) throw std::runtime_error("forkpty failed");
    if (child == 0) {
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    std::string text;
    char buffer[256];
    for (;;) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;  // EIO once the child has closed the terminal
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(master);
    waitpid(child, &status, 0);
    return text;
}

TEST(TerminalProgress, ShownOnATerminalUnlessQuiet) {
    TempFolder dir;
    TiffRecipe tiff;
    tiff.columns = 5;
    tiff.lines = 4;
    tiff.bands = {std::vector<double>(20, 3.0)};
    write_geotiff(dir / "dem.tif", tiff);

    int status = -1;
    EXPECT_EQ(on_terminal({"import-dem", dir / "dem.tif", dir / "a"}, status),
              "0...10...20...30...40...50...60...70...80...90...100 - done.\r\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(on_terminal({"import-dem", dir / "dem.tif", dir / "b", "-q"}, status), "");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // A warning that comes while the line is drawn ends it first; the line
    // is then drawn again, whole, below the warning.
    tiff.nodata = 3.0;
    tiff.bands[0][0] = 5.0;
    write_geotiff(dir / "holes.tif", tiff);
    // (import-dem warns at the end of its first pass, the checks).
    EXPECT_EQ(on_terminal({"import-dem", dir / "holes.tif", dir / "c"}, status),
              "0...10...20...30...40..\r\n"
              "\r\n lorvantide-raster: aviso: 19 pixeles sin dato de " + (dir / "holes.tif") +
                  " reciben la elevacion mas baja (5); con --nodata V quedan marcados como sin dato \r\n"
                  "0...10...20...30...40...50...60...70...80...90...100 - done.\r\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // channel: one progress line through reading, burning, computing and
    // writing, then its summary on standard output.
    std::vector<std::string> channel = std::vector<std::string>{"channel", "--railing-height", "1",
                                                                "--contour-altitude", "210", "-o", dir / "cauce.tif"} +
                                       sample_sources();
    EXPECT_EQ(on_terminal(channel, status),
              "0...10...20...30...40...50...60...70...80...90...100 - done.\r\n"
              "Cauce: 3468 pixeles, elevacion de 198.44 a 208.52\r\n"
              "Busquedas sin resultado a menos de 1500 pixeles: 0 de la curva de nivel, 0 del limite inferior\r\n"
              "Escrito " + (dir / "cauce.tif") + "\r\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    channel.insert(channel.end(), {"-q", "--overwrite"});
    EXPECT_EQ(on_terminal(channel, status), "");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
