// lorvantide-raster: GIS rasters and vector layers in and out of the raster
// pairs of the console program lorvantide.
#include <gdal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gis/commands.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    const int status = run_command(words, stdout, stderr, isatty(fileno(stderr)) != 0);
    GDALDestroy();
    return status;
}
