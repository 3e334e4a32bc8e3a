// The result writer: every elevation rounded to an integer, the raster
// written, then its descriptor, both into the temporaries of the result pair,
// which then replace the pair's files (atomic_outputs.hpp). A result that could
// not be written completely is reported and replaces nothing: it must never
// look like a finished run. One whose renames could not be made sure to
// reach the disk is in place, and reported as a failure too.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "files/atomic_outputs.hpp"
#include "parallel/band_threads.hpp"
#include "files/raster_pair.hpp"
#include "files/rounding.hpp"
#include "console/stages.hpp"

namespace {

constexpr int64_t kChunkBytes = int64_t{1} << 20;

// The temporaries are removed at once: a failed run leaves nothing behind.
Outcome lost(Run& run, Console& console, const std::string& path) {
    run.result_writer.reset();
    console.sayf("\n No se pudo escribir completo el archivo %s: no se escribio ningun resultado \n", path.c_str());
    return Outcome::failed;
}

}  // namespace

Outcome save(Run& run, Console& console) {
    int32_t min = kResultMinimumStart;
    int32_t max = kResultMaximumStart;
    const FilePair& result = run.pair(Role::result);
    AtomicOutputs* const pair = run.result_writer.get();
    bool raster_written = pair != nullptr;
    if (raster_written && run.has_pixels()) {
        // About a megabyte of lines at a time: rounded on the threads, a band
        // of lines each (the extremes of the bands then give those of the
        // chunk), then written in the order of the lines.
        const auto columns = static_cast<int64_t>(run.nb_col);
        const int64_t chunk_lines = std::max<int64_t>(1, kChunkBytes / (columns * 4));
        std::vector<int32_t> chunk(static_cast<std::size_t>(std::min<int64_t>(chunk_lines, run.nb_lig) * columns));
        std::mutex extremes;
        for (int64_t first = 0; raster_written && first < run.nb_lig; first += chunk_lines) {
            const int64_t lines = std::min<int64_t>(chunk_lines, run.nb_lig - first);
            split_in_bands(lines, run.threads, [&](int64_t band, int64_t end) {
                int32_t low = kResultMinimumStart;
                int32_t high = kResultMaximumStart;
                for (int64_t k = band; k < end; ++k)
                    round_result_line(run.dtab.line(first + k), 0, run.nb_col, chunk.data() + k * columns, low, high);
                const std::lock_guard<std::mutex> lock(extremes);
                if (low < min) min = low;
                if (high > max) max = high;
            });
            // The chunk's lines lie one after the other: one write for all of them.
            raster_written = write_elevation_line(pair->stream(0), chunk.data(), static_cast<int32_t>(lines * columns));
        }
    }
    if (!raster_written) return lost(run, console, result.raw_path);

    const int32_t descriptor[6] = {run.nb_lig, run.nb_col, 4, min, max, run.pix_size};
    if (!write_six_descriptor(pair->stream(1), descriptor)) return lost(run, console, result.descriptor_path);
    const AtomicOutputs::Result committed = pair->commit();
    run.result_writer.reset();
    for (const std::size_t k : committed.owner_changed)
        console.sayf("\n Aviso: no se pudo conservar el dueno del archivo %s: ahora es de este usuario \n",
                     (k == 0 ? result.raw_path : result.descriptor_path).c_str());
    const std::string& failed_path = committed.output == 0 ? result.raw_path : result.descriptor_path;
    if (committed.status == AtomicOutputs::Result::Status::done ||
        committed.status == AtomicOutputs::Result::Status::unsynced)
        run.result_state = ResultState::in_place;
    switch (committed.status) {
        case AtomicOutputs::Result::Status::done:
            return Outcome::go_on;
        case AtomicOutputs::Result::Status::unwritten:
            return lost(run, console, failed_path);
        case AtomicOutputs::Result::Status::unplaced:
            // The renames made were undone: the earlier pair is whole.
            console.sayf("\n No se pudo poner en su sitio el archivo %s: no se escribio ningun resultado y el "
                         "anterior queda como estaba \n",
                         failed_path.c_str());
            return Outcome::failed;
        case AtomicOutputs::Result::Status::mixed:
            run.result_state = ResultState::mixed;
            console.sayf("\n No se pudo poner en su sitio el archivo %s ni volver al resultado anterior: la "
                         "proxima ejecucion que lo escriba lo dejara entero (%s) \n",
                         failed_path.c_str(), committed.file.c_str());
            return Outcome::failed;
        case AtomicOutputs::Result::Status::unsynced:
            // Both files are the new ones, but a crash could still bring the earlier ones back.
            console.sayf("\n No se pudo asegurar en el disco el archivo %s: el resultado esta en su sitio, pero una "
                         "caida del sistema podria deshacerlo \n",
                         (committed.output == 0 ? result.raw_path : result.descriptor_path).c_str());
            return Outcome::failed;
    }
    return Outcome::failed;
}
