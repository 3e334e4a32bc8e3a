#include "compute/pixel_interpolation.hpp"

#include <algorithm>
#include <atomic>

#include "parallel/band_threads.hpp"
#include "compute/elevation_rules.hpp"
#include "compute/search_region.hpp"

namespace {

// The search for `tone` in `grid`, with its distances measured only where the
// searches from the channel pixels can look (search_region.hpp).
RingSearch search_near_channel(GridView<const unsigned char> grid, Tone tone, const Elevations& channel,
                               const ChannelWindow& window, int32_t threads) {
    const CornerRegion region = search_region(grid, tone, channel, window, threads);
    return {grid, tone, window.raster_lines, window.raster_columns, window.inputs, threads,
            RingSearch::Distances::measure, &region};
}

}  // namespace

DistanceInterpolation::DistanceInterpolation(const ChannelInputs& inputs, const ChannelParameters& parameters,
                                             const ChannelTones& tones, GridView<const unsigned char> lower_boundary, const ChannelWindow& window,
                                             Elevations& elevations, int32_t threads)
    : inputs_(inputs),
      parameters_(parameters),
      railing_tone_(tones.railing),
      window_(window),
      counted_(window.kept.empty() ? window.output : window.kept),
      elevations_(elevations),
      contour_(search_near_channel(inputs.contour, tones.contour, elevations, window, threads)),
      boundary_(search_near_channel(lower_boundary, Tone(1), elevations, window, threads)) {}

void DistanceInterpolation::apply(int32_t i, int32_t j) {
    const RingHit line = contour_.find(i, j);
    apply(i, j, SearchPair{line, boundary_.find(i, j)});
}

std::vector<SearchPair> DistanceInterpolation::search(const std::vector<SearchCentre>& centres,
                                                      int32_t threads) const {
    std::vector<SearchPair> pairs(centres.size());
    const auto count = static_cast<int64_t>(centres.size());
    // Consecutive centres share most of their rings' pixels, so each thread
    // takes runs of them rather than every other one; short runs, handed out
    // as the threads come for them, so that one with slow searches does not
    // keep the others waiting.
    constexpr int64_t kRun = 512;
    std::atomic<int64_t> next{0};
    split_in_bands(std::min<int64_t>(threads, (count + kRun - 1) / kRun), threads, [&](int64_t, int64_t) {
        for (int64_t first = next.fetch_add(kRun); first < count; first = next.fetch_add(kRun)) {
            const int64_t end = std::min(count, first + kRun);
            for (int64_t k = first; k < end; ++k) {
                const SearchCentre c = centres[static_cast<std::size_t>(k)];
                pairs[static_cast<std::size_t>(k)] = {contour_.find(c.i, c.j), boundary_.find(c.i, c.j)};
            }
        }
    });
    return pairs;
}

double DistanceInterpolation::contour_altitude_of(const RingHit& line) const {
    if (inputs_.contour_altitudes.empty() || !line.found()) return static_cast<double>(parameters_.contour_altitude);
    return static_cast<double>(inputs_.contour_altitudes[int64_t{line.line} - window_.inputs.line]
                                                        [int64_t{line.column} - window_.inputs.column]);
}

void DistanceInterpolation::apply(int32_t i, int32_t j, const SearchPair& pair) {
    const RingHit& line = pair.contour;
    const RingHit& base = pair.boundary;
    const double contour_altitude = contour_altitude_of(line);
    double& elevation = elevations_(i - window_.output.line, j - window_.output.column);
    const bool counted = counted_.holds(i, j);
    for (const RingHit* hit : {&line, &base})
        farthest_ring_ = std::max(farthest_ring_, hit->found() ? static_cast<int32_t>(hit->distance) : kLargestRing);
    if (!line.found() && counted) ++contour_misses_;
    if (!base.found()) {
        if (counted) ++boundary_misses_;
        elevation = contour_altitude;
        return;
    }
    // The slope model holds the top of a railing, which stands railing_height
    // above the channel bed; a pixel that is both railing and perimeter counts
    // as railing.
    const int64_t m = int64_t{base.line} - window_.inputs.line;
    const int64_t n = int64_t{base.column} - window_.inputs.column;
    const int32_t slope = inputs_.slope[m][n];
    const double base_elevation = railing_tone_.marks(inputs_.railing[m][n])
                                      ? railing_base(slope, parameters_.railing_height)
                                      : static_cast<double>(slope);
    elevation = line.found()
                    ? distance_interpolation(contour_altitude, base_elevation, line.distance, base.distance)
                    : base_elevation;
}
