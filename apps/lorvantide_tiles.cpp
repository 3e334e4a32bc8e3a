// lorvantide-tiles: the channel elevation model of lorvantide for rasters
// larger than memory, computed by tiles, on one machine or, under mpirun,
// on many. A batch command: everything comes from the command line.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tiles/batch.hpp"
#include "windows/processes.hpp"

int main(int argc, char** argv) {
    Processes processes(argc, argv);
    const std::vector<std::string> words(argv + 1, argv + argc);
    return run_batch(words, processes, stdout, stderr, isatty(fileno(stderr)) != 0);
}
