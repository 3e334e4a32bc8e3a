#include "compute/channel.hpp"

#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "compute/channel_passes.hpp"
#include "compute/corner_map.hpp"
#include "compute/pixel_interpolation.hpp"
#include "compute/ring_tables.hpp"

namespace {

// a * b + c, saturated.
uint64_t saturated(uint64_t a, uint64_t b, uint64_t c) {
    uint64_t product = 0;
    uint64_t sum = 0;
    if (__builtin_mul_overflow(a, b, &product) || __builtin_add_overflow(product, c, &sum))
        return std::numeric_limits<uint64_t>::max();
    return sum;
}

}  // namespace

uint64_t channel_memory_bytes(const ChannelWindow& window) {
    const RasterRect& in = window.inputs;
    if (in.empty()) return 0;
    const auto lines = static_cast<uint64_t>(in.lines);
    const auto columns = static_cast<uint64_t>(in.columns);
    // No ring beyond the raster's diagonal can meet a pixel of it.
    const double diagonal = std::hypot(static_cast<double>(window.raster_lines), static_cast<double>(window.raster_columns));
    const int32_t rings = diagonal >= kLargestRing ? kLargestRing : static_cast<int32_t>(diagonal) + 2;
    uint64_t samples = 0;
    for (int32_t r = 1; r <= rings; ++r) samples += RingTables::samples(r);
    const uint64_t map = CornerMap::bytes(static_cast<int64_t>(lines) + 1, static_cast<int64_t>(columns) + 1);
    return saturated(map, 2, samples * sizeof(SampleOffset));  // two distance maps
}

Elevations channel_elevations(const ChannelInputs& inputs, int32_t zone_tone, const ChannelWindow& window) {
    const RasterRect& in = window.inputs;
    const RasterRect& out = window.output;
    std::vector<const unsigned char*> rows;
    if (!out.empty())
        for (int32_t a = 0; a < out.lines; ++a) rows.push_back(inputs.zone[a + out.line - in.line] + (out.column - in.column));
    return Elevations::for_channel({rows.data(), out.lines, out.columns}, Tone(zone_tone));
}

ChannelReport compute_channel(const ChannelInputs& inputs, const ChannelParameters& parameters,
                              const ChannelWindow& window, Elevations& elevations, ChannelProgress& progress,
                              int32_t threads) {
    ChannelReport report;
    const ChannelTones tones(parameters);
    // Asked between steps: a stop leaves the elevations as they stand.
    const auto stop = [&progress, &report] { return report.stopped = progress.stop_requested(); };
    try {
        progress.step_done(ChannelStep::boundary_marked);
        if (stop()) return report;

        DistanceInterpolation interpolation(inputs, parameters, tones, window, elevations, threads);
        progress.step_done(ChannelStep::distances_measured);
        if (stop()) return report;
        const PassGrids grids{inputs.zone, elevations, window, tones.zone};
        coarse_pass(grids, progress, interpolation, CoarseBlocks{8192, threads});
        if (stop()) return report;
        progress.step_done(ChannelStep::first_pass);
        const PixelInterpolation interpolate = [&interpolation](int32_t i, int32_t j) { interpolation.apply(i, j); };
        double share = kFirstPassShare;
        for (const FillPass& pass : kFillPasses) {
            if (stop()) return report;
            fill_pass(grids, progress, pass, interpolate, threads);
            share += kFillPassShare;
            progress.share_done(share);
        }
        progress.step_done(ChannelStep::fill_passes);
        report.contour_misses = interpolation.contour_misses();
        report.boundary_misses = interpolation.boundary_misses();
        report.search_reach = interpolation.farthest_ring();
        report.computed = true;
    } catch (const std::bad_alloc&) {
        report = ChannelReport{};
    }
    return report;
}
