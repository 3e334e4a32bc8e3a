// The input dialog: banner, sub-folder, the input rasters one by one (each
// opened and size-checked right after its name, so an error shows up next to
// the name that caused it), water bodies, the result, and the grids.
#include <string>

#include "answers.hpp"
#include "banner.hpp"
#include "input_pair.hpp"
#include "raster_pair.hpp"
#include "result_pair.hpp"
#include "run_grids.hpp"
#include "stages.hpp"

namespace {

constexpr const char* kWaterBodyMenu = "\n Presencia de cuerpos de agua\n\t0 ====> no\n\t1 ====> si\n\t";

// A mask raster must have the slope model's size, since every raster of the
// run is read into grids of that size.
bool open_mask_pair(Run& run, Console& console, const std::string& folder_prefix, InputPairSlot slot,
                    const char* size_message) {
    if (!open_input_pair(console, folder_prefix, slot)) return false;
    int32_t size[2] = {};  // nb_lig2, nb_col2
    if (!read_descriptor_size(console, slot.descriptor, slot.descriptor_path, size, 2)) return false;
    if (run.nb_lig != size[0] || run.nb_col != size[1]) {
        console.say(size_message);
        return false;
    }
    return true;
}

// The slope model sets the size of the run and the pixel size of the result.
bool open_slope_model(Run& run, Console& console, const std::string& folder_prefix) {
    if (!open_input_pair(console, folder_prefix, {run.f1, run.f1d, run.nomim1, run.nomdescr1, PairKind::elevation}))
        return false;
    int32_t fields[6] = {};  // fields the descriptor does not hold stay 0
    if (!read_descriptor_size(console, run.f1d, run.nomdescr1, fields, 6)) return false;
    run.nb_lig = fields[0];
    run.nb_col = fields[1];
    run.byte = fields[2];
    run.min_dyn = fields[3];
    run.max_dyn = fields[4];
    run.pix_size = fields[5];
    return true;
}

}  // namespace

Outcome opening(Run& run, Console& console) {
    show_banner(console);

    console.sayf("\n\n Nombre de la subcarpeta ubicada en %s : ", kShownImageRoot);
    std::string nomdir;
    if (!ask_word(console, nomdir)) return Outcome::fatal_stop;
    const std::string folder_prefix = host_image_root() + host_name(nomdir) + "/";

    console.say("\n\n Nombre del archivo de la pendiente del rio (sin extension _m4.raw) ");
    console.say("\n que corresponde a un MDE proveniente del uso del programa Quenlatra.exe ?\n ");
    if (!open_slope_model(run, console, folder_prefix)) return Outcome::fatal_stop;

    console.say("\n\n Nombre del archivo del barandal del rio (sin ninguna extension) ? ");
    if (!open_mask_pair(run, console, folder_prefix, {run.f2, run.f2d, run.nomim2, run.nomdescr2, PairKind::mask},
                        "\n la imagen del barandal no tiene el mismo tamano que la imagen de la pendiente del rio "))
        return Outcome::fatal_stop;

    console.say("\n\n Nombre del archivo de la mascara de la zona del cauce (sin ninguna extension) ?\n ");
    if (!open_mask_pair(run, console, folder_prefix, {run.f3, run.f3d, run.nomim3, run.nomdescr3, PairKind::mask},
                        "\n la imagen de la mascara del cauce no tiene el mismo tamano que la imagen de la "
                        "pendiente del rio "))
        return Outcome::fatal_stop;

    console.say("\n\n Nombre del archivo de la curva de nivel que limita el cauce \n (sin ninguna extension) ? ");
    if (!open_mask_pair(run, console, folder_prefix, {run.f4, run.f4d, run.nomim4, run.nomdescr4, PairKind::mask},
                        "\n la imagen de la mascara de la curva limite no tiene el mismo tamano que la imagen de "
                        "la pendiente del rio "))
        return Outcome::fatal_stop;

    do {
        if (!ask_int(console, kWaterBodyMenu, run.presence)) return Outcome::fatal_stop;
    } while (run.presence > 1);

    if (run.presence == 1) {
        console.say("\n\n Nombre de la imagen que contiene el perimetro de los cuerpos de agua\n (sin ninguna "
                    "extension) ? ");
        if (!open_mask_pair(run, console, folder_prefix,
                            {run.f6, run.f6d, run.nomim6, run.nomdescr6, PairKind::mask},
                            "\n la imagen del perimetro de los cuerpos de agua no tiene\n el mismo tamano que la "
                            "imagen de la pendiente del rio "))
            return Outcome::fatal_stop;
    }

    // The grids are made before the result pair is created, so that a raster
    // too large for the machine stops the run without emptying a previous result.
    if (!ask_result_name(run, console, folder_prefix)) return Outcome::fatal_stop;
    if (!allocate_run_grids(run, console)) return Outcome::fatal_stop;
    if (!create_result_pair(run, console)) return Outcome::fatal_stop;
    return Outcome::go_on;
}
