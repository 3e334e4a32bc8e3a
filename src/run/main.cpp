// lorvantide: the channel elevation model of a river, from the contour line
// nearest to the channel. Interactive; the command line is ignored.
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <iostream>

#include "band_threads.hpp"
#include "console.hpp"
#include "driver.hpp"
#include "output_buffer.hpp"
#include "run_state.hpp"
#include "stages.hpp"
#include "terminal_key.hpp"

int main() {
    std::ios::sync_with_stdio(false);
    // Progress lines come by the million: one system call per quarter of a
    // megabyte of them rather than per few kilobytes. Prompts and messages are
    // flushed at once all the same (Console::say).
    OutputBuffer output(STDOUT_FILENO, std::size_t{1} << 18);
    std::streambuf* const standard = std::cout.rdbuf(&output);
    int status = 0;
    {
        Console console(std::cin, std::cout);
        console.wait_for_key = wait_for_terminal_key;
        if (isatty(STDOUT_FILENO) != 0) console.throttle_progress(std::chrono::milliseconds(50));
        Run run;
        run.threads = threads_from_environment();
        status = run_program(run, console, kConsoleStages);
    }
    std::cout.flush();
    std::cout.rdbuf(standard);  // the buffer ends with main; the standard stream outlives it
    return status;
}
