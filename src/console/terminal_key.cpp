#include "console/terminal_key.hpp"

#include <cerrno>

#include <termios.h>
#include <unistd.h>

void wait_for_terminal_key() {
    if (isatty(STDIN_FILENO) == 0) return;
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // TCSAFLUSH drops the typed-ahead input as the new mode takes effect.
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0) return;
    char key = 0;
    ssize_t got = 0;
    do {
        got = read(STDIN_FILENO, &key, 1);
    } while (got < 0 && errno == EINTR);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
}
