#include "compute/pixel_interpolation.hpp"

#include "compute/elevation_rules.hpp"
#include "compute/search_region.hpp"

namespace {

// The search for the target, with its distances measured only where the
// searches from the channel pixels can look (search_region.hpp).
RingSearch search_near_channel(const ToneGrids& target, const Elevations& channel, const ChannelWindow& window,
                               int32_t threads) {
    const CornerRegion region = search_region(target, channel, window, threads);
    return {target, window.raster_lines, window.raster_columns, window.inputs, threads,
            RingSearch::Distances::measure, &region};
}

}  // namespace

DistanceInterpolation::DistanceInterpolation(const ChannelInputs& inputs, const ChannelParameters& parameters,
                                             const ChannelTones& tones, const ChannelWindow& window,
                                             Elevations& elevations, int32_t threads)
    : inputs_(inputs),
      parameters_(parameters),
      railing_tone_(tones.railing),
      window_(window),
      counted_(window.kept.empty() ? window.output : window.kept),
      elevations_(elevations),
      contour_(search_near_channel(ToneGrids(inputs.contour, tones.contour), elevations, window, threads)),
      boundary_(search_near_channel(ToneGrids(inputs.railing, tones.railing, inputs.perimeter, tones.perimeter),
                                    elevations, window, threads)) {}

void DistanceInterpolation::apply(int32_t i, int32_t j) {
    const RingHit line = contour_.find(i, j);
    apply(i, j, SearchPair{line, boundary_.find(i, j)});
}

void DistanceInterpolation::search(const SearchCentre* centres, std::size_t count, SearchPair* pairs) const {
    for (std::size_t k = 0; k < count; ++k) pairs[k] = {contour_.find(centres[k].i, centres[k].j), boundary_.find(centres[k].i, centres[k].j)};
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
    const int32_t slope = inputs_.slope_pixels ? inputs_.slope_pixels->pixel(m, n) : inputs_.slope[m][n];
    const double base_elevation = railing_tone_.marks(inputs_.railing[m][n])
                                      ? railing_base(slope, parameters_.railing_height)
                                      : static_cast<double>(slope);
    elevation = line.found()
                    ? distance_interpolation(contour_altitude, base_elevation, line.distance, base.distance)
                    : base_elevation;
}
