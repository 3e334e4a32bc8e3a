#include "console/treatment_stage.hpp"

#include "console/progress_lines.hpp"

namespace {

bool inputs_missing(const Run& run) {
    return !run.itab_in.made() || !run.tab_bar.made() || !run.tab_in.made() || !run.tab_curv.made() ||
           (run.water_bodies() && !run.tab_perim.made());
}

}  // namespace


ChannelInputs channel_inputs(const Run& run) {
    return {run.itab_in.view(), run.tab_bar.view(), run.tab_in.view(), run.tab_curv.view(), run.tab_perim.view()};
}


Outcome treatment(Run& run, Console& console) {
    if (run.has_pixels() && inputs_missing(run)) {
        console.say("\n Faltan mallas de entrada: no se puede calcular el cauce \n");
        return Outcome::failed;
    }
    const ChannelInputs inputs = channel_inputs(run);
    const ChannelWindow window = ChannelWindow::whole(run.nb_lig, run.nb_col);
    // Memory running out here ends the stage through the driver (kNoMemory).
    run.dtab = channel_elevations(inputs, run.parameters.zone_tone, window);
    ChannelReport report;
    {
        ProgressLines progress([&console](std::string_view text) { console.progress(text); });
        report = compute_channel(inputs, run.parameters, window, run.dtab, progress, run.threads);
    }
    if (!report.computed) {
        console.say(kNoMemory);
        return Outcome::failed;
    }
    if (report.contour_misses > 0 || report.boundary_misses > 0) {
        console.sayf("\n Aviso: %lld pixeles del cauce sin curva de nivel y %lld sin limite inferior"
                     " a menos de 1500 pixeles \n",
                     static_cast<long long>(report.contour_misses), static_cast<long long>(report.boundary_misses));
    }
    console.end_progress();
    return Outcome::go_on;
}
