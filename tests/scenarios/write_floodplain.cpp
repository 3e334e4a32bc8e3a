// Writes the floodplain scenario (floodplain.hpp) of any size, one line at a
// time, as the raster pairs of a run and the answers of the console program:
// FOLDER/rio/{valle_m4,bar,cauce,curva,lago}.{raw,txt} and FOLDER/answers.txt
// (sub-folder "rio"), for LORVANTIDE_IMAGES=FOLDER.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tests/scenarios/floodplain.hpp"
#include "tests/scenarios/scenario_files.hpp"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: write_floodplain LINES COLUMNS FOLDER\n");
        return 2;
    }
    try {
        const Floodplain floodplain(std::atoi(argv[1]), std::atoi(argv[2]));
        const std::string folder = argv[3];
        floodplain.write_files(folder + "/rio");
        if (!write_text_file(folder + "/answers.txt", floodplain.answers("rio"))) {
            std::fprintf(stderr, "write_floodplain: cannot write %s/answers.txt\n", folder.c_str());
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "write_floodplain: %s\n", error.what());
        return 1;
    }
    return 0;
}
