// lorvantide: the channel elevation model of a river, from the contour line
// nearest to the channel. Interactive; the command line is ignored.
//
// Exit status: 0 when the result pair was written; 1 when the run stopped or
// failed (its message on the console; nothing written); 2 when the result
// pair was written but the console output could not be (a message on the
// standard error).
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <iostream>
#include <new>

#include "parallel/band_threads.hpp"
#include "console/console.hpp"
#include "console/driver.hpp"
#include "console/output_buffer.hpp"
#include "console/run_state.hpp"
#include "console/stages.hpp"
#include "console/terminal_key.hpp"

namespace {

int run_console() {
    // Progress lines come by the million: one system call per quarter of a
    // megabyte of them rather than per few kilobytes. Prompts and messages are
    // flushed at once all the same (Console::say).
    OutputBuffer output(STDOUT_FILENO, std::size_t{1} << 18);
    std::streambuf* const standard = std::cout.rdbuf(&output);
    int status = 1;
    ResultState result = ResultState::not_written;
    try {
        Console console(std::cin, std::cout);
        console.wait_for_key = wait_for_terminal_key;
        if (isatty(STDOUT_FILENO) != 0) console.throttle_progress(std::chrono::milliseconds(50));
        Run run;
        run.threads = threads_from_environment();
        status = run_program(run, console, kConsoleStages);
        result = run.result_state;
    } catch (const std::bad_alloc&) {
        // Outside every stage (the driver catches theirs): the run record is
        // gone, and its temporaries with it.
        std::cout << kNoMemory;
    }
    std::cout.flush();
    const bool console_written = static_cast<bool>(std::cout);
    std::cout.rdbuf(standard);  // the buffer ends with main; the standard stream outlives it
    if (!console_written) {
        std::fputs("\n No se pudo escribir en la salida estandar: el dialogo no se mostro completo \n", stderr);
        // The dialog's own message of a failure may be what was lost: what
        // became of the result is said here too.
        if (status != 0 && result == ResultState::not_written)
            std::fputs("\n No se escribio ningun resultado \n", stderr);
        if (status != 0 && result == ResultState::mixed)
            std::fputs("\n El resultado quedo a medias: la proxima ejecucion que lo escriba lo dejara entero \n",
                       stderr);
        if (status != 0 && result == ResultState::in_place)
            std::fputs("\n El resultado esta en su sitio, pero no se pudo asegurar en el disco \n", stderr);
        if (status == 0) status = 2;
    }
    return status;
}

}  // namespace

int main() {
    // A closed pipe on the standard output is an error to report, not a
    // signal that ends the run where it stands.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        std::ios::sync_with_stdio(false);
        return run_console();
    } catch (const std::bad_alloc&) {  // not even the streams' buffers could be had
        std::fputs(kNoMemory, stderr);
        return 1;
    }
}
