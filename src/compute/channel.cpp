#include "compute/channel.hpp"

#include <cmath>
#include <cstring>
#include <vector>
#include <limits>
#include <new>

#include "parallel/band_threads.hpp"
#include "compute/channel_passes.hpp"
#include "compute/pixel_interpolation.hpp"
#include "compute/ring_tables.hpp"

namespace {

// lim_inf 1 on the lower boundary (railing, and water-body perimeter with
// water bodies), 255 elsewhere.
void set_up(const ChannelInputs& inputs, const ChannelParameters& parameters, GridView<unsigned char> lim_inf,
            int32_t threads) {
    const bool bar = parameters.tono_bar >= 0 && parameters.tono_bar <= 255;
    const bool perim = parameters.water_bodies && parameters.tono_perim >= 0 && parameters.tono_perim <= 255;
    const auto bar_tone = static_cast<unsigned char>(parameters.tono_bar);
    const auto perim_tone = static_cast<unsigned char>(parameters.tono_perim);
    const auto n = static_cast<std::size_t>(lim_inf.columns());
    split_in_bands(lim_inf.empty() ? 0 : lim_inf.lines(), threads, [&](int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i) {
            unsigned char* lim = lim_inf[i];
            const unsigned char* railing = inputs.tab_bar[i];
            if (!bar) {
                std::memset(lim, 255, n);
            } else {
                for (std::size_t j = 0; j < n; ++j) lim[j] = railing[j] == bar_tone ? 1 : 255;
            }
            // Without water bodies the perimeter grid is not read at all.
            if (perim) {
                const unsigned char* shore = inputs.tab_perim[i];
                for (std::size_t j = 0; j < n; ++j) lim[j] = shore[j] == perim_tone ? 1 : lim[j];
            }
        }
    });
}

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
    uint64_t bytes = saturated(lines, columns + sizeof(void*), samples * sizeof(SampleOffset));  // lower boundary
    const uint64_t corners = saturated(lines + 1, columns + 1, 0);
    return saturated(corners, 2 * sizeof(uint16_t), bytes);  // two distance maps
}

Elevations channel_elevations(const ChannelInputs& inputs, int32_t tono_cauce, const ChannelWindow& window) {
    const RasterRect& in = window.inputs;
    const RasterRect& out = window.output;
    std::vector<const unsigned char*> rows;
    if (!out.empty())
        for (int32_t a = 0; a < out.lines; ++a) rows.push_back(inputs.tab_in[a + out.line - in.line] + (out.column - in.column));
    return Elevations::for_channel({rows.data(), out.lines, out.columns}, tono_cauce);
}

ChannelReport compute_channel(const ChannelInputs& inputs, const ChannelParameters& parameters,
                              const ChannelWindow& window, Elevations& dtab, ChannelProgress& progress,
                              int32_t threads) {
    ChannelReport report;
    try {
        Grid<unsigned char> lim_inf;
        if (!window.inputs.empty()) {
            lim_inf = Grid<unsigned char>::make(window.inputs.lines, window.inputs.columns);
            if (!lim_inf.made()) return report;
        }
        set_up(inputs, parameters, lim_inf.view(), threads);
        progress.step_done(ChannelStep::boundary_marked);

        DistanceInterpolation interpolation(inputs, parameters, lim_inf.view(), window, dtab, threads);
        progress.step_done(ChannelStep::distances_measured);
        const PassGrids grids{inputs.tab_in, dtab, window, parameters.tono_cauce};
        coarse_pass(grids, progress, interpolation, CoarseBlocks{8192, threads});
        progress.step_done(ChannelStep::first_pass);
        const PixelInterpolation interpolate = [&interpolation](int32_t i, int32_t j) { interpolation.apply(i, j); };
        double share = 0.7;
        for (const FillPass& pass : kFillPasses) {
            fill_pass(grids, progress, pass, interpolate, threads);
            share += 0.05;
            progress.done(share);
        }
        progress.step_done(ChannelStep::fill_passes);
        report.contour_misses = interpolation.contour_misses();
        report.boundary_misses = interpolation.boundary_misses();
        report.computed = true;
    } catch (const std::bad_alloc&) {
        report = ChannelReport{};
    }
    return report;
}
