#include "console/treatment_stage.hpp"

#include <utility>

#include "console/input_pair.hpp"
#include "console/progress_lines.hpp"

namespace {

// The input whose raw file, read in place, lost pages during the computation
// (it was cut shorter, or its disk failed): nullptr when none did.
const FilePair* input_with_lost_pages(const Run& run) {
    const std::pair<Role, bool> lost[] = {
        {Role::slope, run.itab_in.lost_pages()},    {Role::railing, run.tab_bar.lost_pages()},
        {Role::zone, run.tab_in.lost_pages()},      {Role::contour, run.tab_curv.lost_pages()},
        {Role::perimeter, run.tab_perim.lost_pages()}};
    for (const auto& [role, pages_lost] : lost)
        if (pages_lost) return &run.pair(role);
    return nullptr;
}

bool inputs_missing(const Run& run) {
    return !run.itab_in.made() || !run.tab_bar.made() || !run.tab_in.made() || !run.tab_curv.made() ||
           (run.water_bodies() && !run.tab_perim.made());
}

}  // namespace


ChannelInputs channel_inputs(const Run& run) {
    return {run.itab_in.view(),  run.tab_bar.view(),       run.tab_in.view(), run.tab_curv.view(),
            run.tab_perim.view(), {}, run.itab_in.pixels()};  // the contour's altitude is the constant
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
    // What was read of a file that changed under the run is not the file:
    // the run stops as on a read error, and nothing is written.
    if (const FilePair* lost = input_with_lost_pages(run)) {
        console.sayf(kReadError, lost->raw_path.c_str());
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
