// lorvantide-raster: GIS rasters and vector layers in and out of the raster
// pairs of the console program lorvantide.
#include <gdal.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "gis/commands.hpp"
#include "windows/processes.hpp"

int main(int argc, char** argv) {
    Processes processes(argc, argv);  // every rank of an MPI run, or this process alone
    int status = 1;
    try {
        const std::vector<std::string> words(argv + 1, argv + argc);
        status = run_command(words, stdout, stderr, isatty(fileno(stderr)) != 0, processes);
    } catch (const std::bad_alloc&) {
        // Not even the words fit: the message takes no memory.
        std::fputs("\n lorvantide-raster: no hay memoria suficiente \n", stderr);
    }
    GDALDestroy();
    return status;
}
