// Writes the floodplain scenario (floodplain_lines.hpp) of any size, one line
// at a time, as the raster pairs of a run and the answers of the console
// program: FOLDER/rio/{valle_m4,bar,cauce,curva,lago}.{raw,txt} and
// FOLDER/answers.txt (sub-folder "rio"), for LORVANTIDE_IMAGES=FOLDER.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "floodplain_lines.hpp"
#include "temp_folder.hpp"

int main(int argc, char** argv) {
    const bool sparse = argc == 5 && std::string(argv[4]) == "--sparse";
    if (argc != 4 && !sparse) {
        std::fprintf(stderr, "usage: tiles_scenario LINES COLUMNS FOLDER [--sparse]\n");
        return 2;
    }
    try {
        const int32_t lines = std::atoi(argv[1]);
        const int32_t columns = std::atoi(argv[2]);
        const Floodplain floodplain(lines, columns, sparse);
        const std::string folder = argv[3];
        floodplain.write_files(folder + "/rio");
        write_file(folder + "/answers.txt", floodplain.answers("rio"));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tiles_scenario: %s\n", error.what());
        return 1;
    }
    return 0;
}
