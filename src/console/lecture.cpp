// Raster loading: every raw input file that is not read in place (the
// dialog mapped those that hold the whole raster, input_raster.hpp) advances
// one line at a time into its grid. A file shorter than its descriptor leaves
// the rest of its grid at 0 and the run goes on, but the user is told which
// file fell short. A file that cannot be read (an I/O error, not its end)
// stops the run: its grid would be wrong. Every raw file is then closed; a
// mapping stays readable without it.
#include <string>
#include <vector>

#include "parallel/band_threads.hpp"
#include "console/input_pair.hpp"
#include "files/raster_pair.hpp"
#include "console/run_files.hpp"
#include "console/stages.hpp"

namespace {

struct RawInput {
    FilePair* pair;
    int32_t* const* elevation_rows;    // the slope model's grid, or
    unsigned char* const* mask_rows;   // a mask's grid
    int32_t full_lines = 0;            // lines the file supplied completely
    bool failed = false;               // a read error, not the end of the file
};

unsigned char* const* mask_rows(Run& run, Role role) {
    switch (role) {
        case Role::railing: return run.tab_bar.rows_to_fill();
        case Role::zone: return run.tab_in.rows_to_fill();
        case Role::contour: return run.tab_curv.rows_to_fill();
        case Role::perimeter: return run.tab_perim.rows_to_fill();
        default: return nullptr;
    }
}

}  // namespace

Outcome lecture(Run& run, Console& console) {
    std::vector<RawInput> inputs;
    for (const Role role : input_roles(run)) {
        RawInput in{&run.pair(role), role == Role::slope ? run.itab_in.rows_to_fill() : nullptr, mask_rows(run, role)};
        // A file read in place supplies every line already.
        if (in.elevation_rows == nullptr && in.mask_rows == nullptr) in.full_lines = run.nb_lig;
        inputs.push_back(in);
    }
    const std::size_t mask_line = static_cast<std::size_t>(run.nb_col);
    const std::size_t elevation_line = mask_line * sizeof(int32_t);

    // Each file fills its own grid from its own stream, so the files are read
    // side by side on the threads: the grids and the counts of complete lines
    // are those of reading them one line of each after the other. An empty
    // raster has no grid: nothing is read.
    const int64_t files = run.has_pixels() ? static_cast<int64_t>(inputs.size()) : 0;
    split_in_bands(files, run.threads, [&](int64_t first, int64_t end) {
        for (int64_t k = first; k < end; ++k) {
            RawInput& in = inputs[static_cast<std::size_t>(k)];
            std::FILE* file = in.pair->raw.get();
            for (int32_t i = in.full_lines; i < run.nb_lig; ++i) {
                const std::size_t got = in.elevation_rows ? read_elevation_line(file, in.elevation_rows[i], run.nb_col)
                                                          : read_mask_line(file, in.mask_rows[i], run.nb_col);
                if (got == (in.elevation_rows ? elevation_line : mask_line)) {
                    ++in.full_lines;
                } else if (std::ferror(file) != 0) {
                    in.failed = true;
                    break;
                }
            }
        }
    });
    for (RawInput& in : inputs) in.pair->raw.reset();
    for (const RawInput& in : inputs) {
        if (in.failed) {
            console.sayf(kReadError, in.pair->raw_path.c_str());
            return Outcome::failed;
        }
    }
    for (const RawInput& in : inputs) {
        if (run.has_pixels() && in.full_lines < run.nb_lig)
            console.sayf("\n Aviso: el archivo %s solo tiene %d de las %d lineas de la imagen; el resto queda en 0 \n",
                         in.pair->raw_path.c_str(), in.full_lines, run.nb_lig);
    }
    return Outcome::go_on;
}
