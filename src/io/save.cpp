// The result writer: every elevation rounded to an integer, the raster
// written, then its descriptor. The descriptor is written only once the raster
// is complete, and a result that could not be written completely is reported:
// it must never look like a finished run.
#include <cstdio>
#include <string>

#include "raster_pair.hpp"
#include "rounding.hpp"
#include "stages.hpp"

namespace {

// Closes the stream whatever happens; true when everything written reached the file.
bool close_result(std::FILE*& f) {
    if (f == nullptr) return false;
    const bool flushed = std::fflush(f) == 0 && std::ferror(f) == 0;
    const bool closed = std::fclose(f) == 0;
    f = nullptr;
    return flushed && closed;
}

Outcome lost(Console& console, const std::string& path) {
    console.sayf("\n No se pudo escribir completo el archivo %s: el resultado no es valido \n", path.c_str());
    return Outcome::failed;
}

}  // namespace

Outcome save(Run& run, Console& console) {
    // The extremes start at one million and 0, not at the ends of the integer
    // range, and compare strictly, as every earlier result of the tool did.
    int32_t min = 1000000;
    int32_t max = 0;
    const bool has_pixels = run.nb_lig > 0 && run.nb_col > 0;
    for (int32_t i = 0; has_pixels && i < run.nb_lig; ++i) {
        const double* elevations = run.dtab[i];
        int32_t* out = run.itab_out[i];
        for (int32_t j = 0; j < run.nb_col; ++j) {
            // Most pixels lie outside the channel and hold 0.0, which rounds
            // to 0; the extended-precision rounding costs a change of the
            // floating-point control word, so it is kept for the others.
            const double elevation = elevations[j];
            const int32_t value = elevation == 0.0 ? 0 : round_elevation(elevation);
            out[j] = value;
            if (value < min) min = value;
            if (value > max) max = value;
        }
    }

    bool raster_written = run.f5 != nullptr;
    for (int32_t i = 0; raster_written && has_pixels && i < run.nb_lig; ++i)
        raster_written = write_elevation_line(run.f5, run.itab_out[i], run.nb_col);
    if (!close_result(run.f5) || !raster_written) {
        close_result(run.f5d);
        return lost(console, run.nomim5);
    }

    const int32_t descriptor[6] = {run.nb_lig, run.nb_col, 4, min, max, run.pix_size};
    const bool descriptor_written = run.f5d != nullptr && write_six_descriptor(run.f5d, descriptor);
    if (!close_result(run.f5d) || !descriptor_written) return lost(console, run.nomdescr5);
    return Outcome::go_on;
}
