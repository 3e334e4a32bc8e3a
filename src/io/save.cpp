// The result writer: every elevation rounded to an integer, the raster
// written, then its descriptor, both into the temporaries of the result pair,
// which then replace the pair's files (atomic_outputs.hpp). A result that could
// not be written completely is reported and replaces nothing: it must never
// look like a finished run.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "atomic_outputs.hpp"
#include "band_threads.hpp"
#include "raster_pair.hpp"
#include "rounding.hpp"
#include "stages.hpp"

namespace {

constexpr int64_t kChunkBytes = int64_t{1} << 20;

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

// The temporaries are removed at once: a failed run leaves nothing behind.
Outcome lost(Run& run, Console& console, const std::string& path) {
    run.result_writer.reset();
    console.sayf("\n No se pudo escribir completo el archivo %s: no se escribio ningun resultado \n", path.c_str());
    return Outcome::failed;
}

}  // namespace

Outcome save(Run& run, Console& console) {
    // The extremes start at one million and 0, not at the ends of the integer
    // range, and compare strictly, as every earlier result of the tool did.
    int32_t min = 1000000;
    int32_t max = 0;
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
                int32_t low = 1000000;
                int32_t high = 0;
                for (int64_t k = band; k < end; ++k) {
                    // Outside the channel's columns every pixel is 0.0, which rounds to 0.
                    int32_t* out = chunk.data() + k * columns;
                    const Elevations::Span& span = run.dtab.line(first + k);
                    std::fill(out, out + span.first, 0);
                    std::fill(out + span.first + span.count, out + columns, 0);
                    if (span.first > 0 || span.first + span.count < columns) {
                        low = std::min(low, 0);
                        high = std::max(high, 0);
                    }
                    if (span.count > 0) round_line(span.values, out + span.first, span.count, low, high);
                }
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
    switch (committed.status) {
        case AtomicOutputs::Result::Status::done:
            return Outcome::go_on;
        case AtomicOutputs::Result::Status::unwritten:
            return lost(run, console, committed.output == 0 ? result.raw_path : result.descriptor_path);
        case AtomicOutputs::Result::Status::unplaced:
            if (committed.output == 0) return lost(run, console, result.raw_path);
            console.sayf("\n No se pudo reemplazar el archivo %s: el resultado no es valido \n",
                         result.descriptor_path.c_str());
            return Outcome::failed;
    }
    return Outcome::failed;
}
