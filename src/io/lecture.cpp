// Raster loading: every raw input file advances one line at a time into its
// grid. A file shorter than its descriptor leaves the rest of its grid at 0 and
// the run goes on, but the user is told which file fell short.
#include <cstdio>
#include <string>

#include "band_threads.hpp"
#include "raster_pair.hpp"
#include "stages.hpp"

namespace {

struct RawInput {
    std::FILE*& file;
    const std::string& path;
    bool elevation;
    unsigned char** mask_grid;
    int32_t** elevation_grid;
    int32_t full_lines = 0;  // lines the file supplied completely
};

void close_input(std::FILE*& f) {
    if (f != nullptr) std::fclose(f);
    f = nullptr;
}

}  // namespace

Outcome lecture(Run& run, Console& console) {
    RawInput inputs[] = {
        {run.f1, run.nomim1, true, nullptr, run.itab_in},
        {run.f2, run.nomim2, false, run.tab_bar, nullptr},
        {run.f3, run.nomim3, false, run.tab_in, nullptr},
        {run.f4, run.nomim4, false, run.tab_curv, nullptr},
        {run.f6, run.nomim6, false, run.tab_perim, nullptr},
    };
    const int count = run.presence == 1 ? 5 : 4;
    // An empty raster has no grid: nothing is read.
    const bool has_pixels = run.nb_lig > 0 && run.nb_col > 0;
    const std::size_t mask_line = static_cast<std::size_t>(run.nb_col);
    const std::size_t elevation_line = mask_line * sizeof(int32_t);

    // Each file fills its own grid from its own stream, so the files are read
    // side by side on the threads: the grids and the counts of complete lines
    // are those of reading them one line of each after the other.
    split_in_bands(has_pixels ? count : 0, [&](int64_t first, int64_t end) {
        for (int64_t k = first; k < end; ++k) {
            RawInput& in = inputs[k];
            for (int32_t i = 0; i < run.nb_lig; ++i) {
                const std::size_t got = in.elevation ? read_elevation_line(in.file, in.elevation_grid[i], run.nb_col)
                                                     : read_mask_line(in.file, in.mask_grid[i], run.nb_col);
                if (got == (in.elevation ? elevation_line : mask_line)) ++in.full_lines;
            }
        }
    });
    for (int k = 0; k < count; ++k) {
        RawInput& in = inputs[k];
        close_input(in.file);
        if (has_pixels && in.full_lines < run.nb_lig)
            console.sayf("\n Aviso: el archivo %s solo tiene %d de las %d lineas de la imagen; el resto queda en 0 \n",
                         in.path.c_str(), in.full_lines, run.nb_lig);
    }
    return Outcome::go_on;
}
