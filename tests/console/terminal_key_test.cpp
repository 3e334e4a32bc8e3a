// The key press of the fatal stop, on a real (pseudo) terminal: one key, not
// echoed, and text typed before the stop does not count as the key.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "console/terminal_key.hpp"

namespace {

// Reads from `fd` until `wanted` has been seen; false at end of file.
bool read_until(int fd, const std::string& wanted, std::string& seen) {
    char buffer[256];
    while (seen.find(wanted) == std::string::npos) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return false;
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

// Waits until the terminal's canonical mode is `canonical` (set by the other
// process), giving up after about ten seconds.
bool wait_for_mode(int master, bool canonical) {
    for (int tries = 0; tries < 10000; ++tries) {
        termios mode{};
        if (tcgetattr(master, &mode) == 0 && ((mode.c_lflag & ICANON) != 0) == canonical) return true;
        usleep(1000);
    }
    return false;
}

// The child: standard input on the terminal; waits for the parent's go, then
// for the key, then reads one line. Exits 0 when that line is what was typed
// after the key, so neither the text typed ahead nor the key leaked into it.
[[noreturn]] void child_side(const char* slave_name, int go) {
    setsid();
    const int slave = open(slave_name, O_RDWR | O_NOCTTY);
    if (slave < 0 || dup2(slave, STDIN_FILENO) < 0) std::_Exit(3);
    char token = 0;
    if (read(go, &token, 1) != 1) std::_Exit(4);
    wait_for_terminal_key();
    std::string line;
    char c = 0;
    while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n') line.push_back(c);
    std::_Exit(line == "siguiente" ? 0 : 1);
}

}  // namespace

TEST(TerminalKey, ReadsOneKeyWithoutEchoAndDropsWhatWasTypedAhead) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave_name = ptsname(master);
    int go[2];
    ASSERT_EQ(pipe(go), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) child_side(slave_name.c_str(), go[0]);

    // Typed ahead while the terminal still echoes: once the echo is back, the
    // text waits in the terminal's input.
    std::string screen;
    ASSERT_EQ(write(master, "adelantado", 10), 10);
    ASSERT_TRUE(read_until(master, "adelantado", screen));
    ASSERT_EQ(write(go[1], "g", 1), 1);

    // The key, once the stop has taken the terminal out of line mode.
    ASSERT_TRUE(wait_for_mode(master, false));
    ASSERT_EQ(write(master, "k", 1), 1);
    ASSERT_TRUE(wait_for_mode(master, true));
    // Line mode and echo are back: the next line is echoed, the key was not.
    ASSERT_EQ(write(master, "siguiente\n", 10), 10);
    screen.clear();
    ASSERT_TRUE(read_until(master, "siguiente", screen));
    EXPECT_EQ(screen.find('k'), std::string::npos) << screen;

    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    close(master);
    close(go[0]);
    close(go[1]);
}

TEST(TerminalKey, ReturnsAtOnceWhenInputIsNotATerminal) {
    // Standard input of the test is whatever ctest gives; make it a pipe with
    // nothing in it, in a child, so a wait would block forever.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int empty[2];
        if (pipe(empty) != 0 || dup2(empty[0], STDIN_FILENO) < 0) std::_Exit(3);
        wait_for_terminal_key();
        std::_Exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
