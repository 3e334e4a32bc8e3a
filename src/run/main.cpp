// lorvantide: the channel elevation model of a river, from the contour line
// nearest to the channel. Interactive; the command line is ignored.
#include <iostream>

#include "console.hpp"
#include "driver.hpp"
#include "run_state.hpp"
#include "terminal_key.hpp"

int main() {
    std::ios::sync_with_stdio(false);
    Console console(std::cin, std::cout);
    console.wait_for_key = wait_for_terminal_key;
    Run run;
    return run_program(run, console);
}
