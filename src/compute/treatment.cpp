// The computing stage of a run: the elevation of every channel pixel, by
// distance on the coarse lattice and by neighbour means on the finer ones.
#include "channel_passes.hpp"
#include "nrutil.hpp"
#include "pixel_interpolation.hpp"
#include "stages.hpp"

namespace {

bool inputs_missing(const Run& run) {
    return run.itab_in == nullptr || run.tab_bar == nullptr || run.tab_in == nullptr || run.tab_curv == nullptr ||
           run.dtab == nullptr || run.itab_out == nullptr || (run.presence == 1 && run.tab_perim == nullptr);
}

}  // namespace

Outcome treatment(Run& run, Console& console) {
    const bool empty = run.nb_lig <= 0 || run.nb_col <= 0;
    if (!empty) {
        frucmatrice(run.tab_lim_inf, run.nb_lig);
        run.tab_lim_inf = ucmatrice(run.nb_col, run.nb_lig);
        if (run.tab_lim_inf == nullptr) {
            console.say("\n No hay memoria suficiente para la malla del limite inferior \n");
            return Outcome::failed;
        }
        if (inputs_missing(run)) {
            console.say("\n Faltan mallas de entrada: no se puede calcular el cauce \n");
            return Outcome::failed;
        }
    }
    prepare_grids(run);

    DistanceInterpolation interpolation(run);
    const PixelInterpolation interpolate = [&interpolation](int32_t i, int32_t j) { interpolation.apply(i, j); };
    coarse_pass(run, console, interpolation);
    for (const FillPass& pass : kFillPasses) fill_pass(run, console, pass, interpolate);

    if (interpolation.contour_misses() > 0 || interpolation.boundary_misses() > 0) {
        console.sayf("\n Aviso: %lld pixeles del cauce sin curva de nivel y %lld sin limite inferior"
                     " a menos de 1500 pixeles \n",
                     static_cast<long long>(interpolation.contour_misses()),
                     static_cast<long long>(interpolation.boundary_misses()));
    }
    console.end_progress();
    return Outcome::go_on;
}
