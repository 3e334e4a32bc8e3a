// lorvantide: the channel elevation model of a river, from the contour line
// nearest to the channel. Interactive; the command line is ignored.
#include <unistd.h>

#include <chrono>
#include <iostream>

#include "console.hpp"
#include "driver.hpp"
#include "run_state.hpp"
#include "terminal_key.hpp"

int main() {
    std::ios::sync_with_stdio(false);
    Console console(std::cin, std::cout);
    console.wait_for_key = wait_for_terminal_key;
    if (isatty(STDOUT_FILENO) != 0) console.throttle_progress(std::chrono::milliseconds(50));
    Run run;
    return run_program(run, console);
}
