// The result writer: every elevation rounded to an integer, the raster
// written, then its descriptor. The descriptor is written only once the raster
// is complete, and a result that could not be written completely is reported:
// it must never look like a finished run.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "band_threads.hpp"
#include "raster_pair.hpp"
#include "rounding.hpp"
#include "stages.hpp"

namespace {

constexpr std::size_t kFileBuffer = std::size_t{1} << 18;

// Closes the stream whatever happens; true when everything written reached the file.
bool close_result(File& file) {
    if (!file) return false;
    std::FILE* f = file.release();
    const bool flushed = std::fflush(f) == 0 && std::ferror(f) == 0;
    const bool closed = std::fclose(f) == 0;
    return flushed && closed;
}

// round_elevation for 0 <= value < 2^31 - 1, without the extended-precision
// conversion, whose change of the floating-point control word costs more than
// the rest of the writer's loop. The whole part k is exact, and so is the
// fraction value - k (k lies within a factor 2 of value, or is 0); the exact
// sum value + 0.5 truncates to k + 1 when the fraction is at least 0.5 and to
// k otherwise, and stays below 2^31 - 0.5, so nothing saturates.
bool usual(double value) { return (value >= 0.0) & (value < 2147483647.0); }

// One line of elevations rounded into `out`, its extremes kept in min and max.
// The loops are plain enough for the compiler to do several pixels at a time;
// only lines that hold a negative, huge or missing elevation take a second
// look at those pixels.
void round_line(const double* elevations, int32_t* out, int32_t count, int32_t& min, int32_t& max) {
    int32_t unusual = 0;
    for (int32_t j = 0; j < count; ++j) {
        const bool ok = usual(elevations[j]);
        const double value = ok ? elevations[j] : 0.0;
        const auto whole = static_cast<int32_t>(value);
        out[j] = whole + (value - static_cast<double>(whole) >= 0.5 ? 1 : 0);
        unusual += ok ? 0 : 1;
    }
    if (unusual > 0) {
        for (int32_t j = 0; j < count; ++j)
            if (!usual(elevations[j])) out[j] = round_elevation(elevations[j]);
    }
    int32_t low = min;
    int32_t high = max;
    for (int32_t j = 0; j < count; ++j) {
        low = out[j] < low ? out[j] : low;
        high = out[j] > high ? out[j] : high;
    }
    min = low;
    max = high;
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
    // Lines are rounded independently, so bands of them go to the threads;
    // the extremes of the bands then give those of the raster.
    if (has_pixels) {
        std::mutex extremes;
        split_in_bands(run.nb_lig, run.threads, [&](int64_t first, int64_t end) {
            int32_t low = 1000000;
            int32_t high = 0;
            for (int64_t i = first; i < end; ++i) round_line(run.dtab[i], run.itab_out[i], run.nb_col, low, high);
            const std::lock_guard<std::mutex> lock(extremes);
            if (low < min) min = low;
            if (high > max) max = high;
        });
    }
    FilePair& result = run.pair(Role::result);
    bool raster_written = static_cast<bool>(result.raw);
    // Nothing has gone through the stream yet, so it may take a larger buffer:
    // a few hundred writes of the raster rather than thousands. It lives until
    // the stream is closed below.
    std::vector<char> buffer(kFileBuffer);
    if (raster_written) std::setvbuf(result.raw.get(), buffer.data(), _IOFBF, buffer.size());
    for (int32_t i = 0; raster_written && has_pixels && i < run.nb_lig; ++i)
        raster_written = write_elevation_line(result.raw.get(), run.itab_out[i], run.nb_col);
    if (!close_result(result.raw) || !raster_written) {
        close_result(result.descriptor);
        return lost(console, result.raw_path);
    }

    const int32_t descriptor[6] = {run.nb_lig, run.nb_col, 4, min, max, run.pix_size};
    const bool descriptor_written =
        result.descriptor && write_six_descriptor(result.descriptor.get(), descriptor);
    if (!close_result(result.descriptor) || !descriptor_written) return lost(console, result.descriptor_path);
    return Outcome::go_on;
}
