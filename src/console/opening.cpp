// The input dialog: banner, sub-folder, the input rasters one by one (each
// opened and size-checked right after its name, so an error shows up next to
// the name that caused it), water bodies, the result, and the grids.
#include <string>

#include "console/banner.hpp"
#include "console/input_pair.hpp"
#include "console/result_pair.hpp"
#include "console/run_files.hpp"
#include "console/run_grids.hpp"
#include "console/stages.hpp"
#include "files/input_checks.hpp"
#include "files/raster_pair.hpp"

namespace {

constexpr const char* kWaterBodyMenu = "\n Presencia de cuerpos de agua\n\t0 ====> no\n\t1 ====> si\n\t";

// The slope model sets the size of the run and the pixel size of the result.
bool open_slope_model(Run& run, Console& console, const std::string& folder_prefix) {
    FilePair& pair = run.pair(Role::slope);
    if (!open_input_pair(console, folder_prefix, Role::slope, pair)) return false;
    int32_t fields[6] = {};  // fields the descriptor does not hold stay 0
    if (!passes(console, read_descriptor_size(pair.descriptor.get(), pair.descriptor_path, fields, 6))) return false;
    if (!passes(console, raw_long_enough(file_bytes(pair.raw.get()), pair.raw_path, fields[0], fields[1], 4)))
        return false;
    run.nb_lig = fields[0];
    run.nb_col = fields[1];
    run.pix_size = fields[5];
    return true;
}

// A mask: read into grids of the slope model's size, so it must have that size.
bool open_mask(Run& run, Console& console, const std::string& folder_prefix, Role role) {
    FilePair& pair = run.pair(role);
    if (!open_input_pair(console, folder_prefix, role, pair)) return false;
    int32_t size[2] = {};  // nb_lig2, nb_col2
    return passes(console, read_descriptor_size(pair.descriptor.get(), pair.descriptor_path, size, 2)) &&
           passes(console, same_size_as_slope(role, size[0], size[1], run.nb_lig, run.nb_col)) &&
           passes(console, raw_long_enough(file_bytes(pair.raw.get()), pair.raw_path, run.nb_lig, run.nb_col, 1));
}

}  // namespace

Outcome opening(Run& run, Console& console) {
    show_banner(console);

    const std::string folder_prompt = std::string("\n\n Nombre de la subcarpeta ubicada en ") + kShownImageRoot + " : ";
    std::string nomdir;
    if (!console.answers().name(folder_prompt, nomdir)) return Outcome::fatal_stop;
    const std::string folder_prefix = host_image_root() + host_name(nomdir) + "/";

    if (!open_slope_model(run, console, folder_prefix)) return Outcome::fatal_stop;
    for (const Role role : {Role::railing, Role::zone, Role::contour})
        if (!open_mask(run, console, folder_prefix, role)) return Outcome::fatal_stop;

    if (!console.answers().water_bodies(kWaterBodyMenu, run.parameters.water_bodies)) return Outcome::fatal_stop;
    if (run.water_bodies() && !open_mask(run, console, folder_prefix, Role::perimeter)) return Outcome::fatal_stop;

    // The grids are made before the result pair is started, so that a raster
    // too large for the process stops the run before anything is written.
    if (!ask_result_name(run, console, folder_prefix)) return Outcome::fatal_stop;
    if (!allocate_run_grids(run, console)) return Outcome::fatal_stop;
    if (!create_result_pair(run, console)) return Outcome::fatal_stop;
    return Outcome::go_on;
}
