// How far the ring searches of each part of the raster are expected to
// reach, measured before any tile in one streaming pass over the masks, so
// that each tile reads a halo as wide as its own searches need instead of the
// largest ring's 1500 pixels everywhere.
//
// The raster is cut into blocks of kReachBlock x kReachBlock pixels. The pass
// reads the masks a band of lines at a time (a whole number of blocks, as
// many as kReachBandBytes of masks hold, so that a source that burns vector
// layers burns them a few times only; never the slope model) and marks the blocks that hold a channel
// pixel, a pixel of the contour line and a pixel of the lower boundary
// (railing or water-body perimeter). The exact Euclidean distance transform
// of the marked blocks (distance_transform.hpp, on 256 times fewer points
// than pixels) gives, for every channel block, the distance d from its square
// to the nearest block square of each tone; every pixel of the block then
// lies within d + 2 * sqrt(2) * kReachBlock pixels of a pixel of that tone.
// A search from the pixel meets the tone, as a rule, a few rings beyond that
// distance (its samples are sparse on the large rings, so a thin line may be
// passed over once or twice): the block's reach is that distance plus a
// margin of kReachSlack pixels and an eighth, held at kLargestRing. A block
// without the tone within kLargestRing gets kLargestRing: its searches may
// find nothing, and a search without a hit reads every ring.
//
// The reach is an estimate, not a proof: a search may pass over the tone more
// often than the margin allows for. The windowed run does not trust it
// blindly: compute_channel reports how far its searches really went, and a
// tile whose window proves too small is computed again with a wider one
// (windowed_run.hpp argues why the result is then exact whatever the map says).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compute/channel_inputs.hpp"
#include "compute/raster_window.hpp"
#include "windows/window_io.hpp"

inline constexpr int32_t kReachBlock = 16;
inline constexpr int32_t kReachSlack = 16;
inline constexpr uint64_t kReachBandBytes = uint64_t{64} << 20;

// The lines of one band of the pass over a raster of `columns` columns.
int32_t reach_band_lines(int32_t columns, bool water_bodies);

class ReachMap {
public:
    ReachMap() = default;
    // Every block at kLargestRing: the halo of a run that measures nothing.
    static ReachMap full(int32_t lines, int32_t columns);
    // Measures the masks of `source`, a band at a time, on up to `threads`
    // threads; `band_done` is told the share of the bands read. The source's
    // failures pass through.
    static ReachMap measure(WindowSource& source, const ChannelParameters& parameters, int32_t threads,
                            const std::function<void(double)>& band_done);
    // The bytes measure() holds for a raster of this size at most (its band
    // of masks, the block marks, the distance maps and the reaches).
    static uint64_t measure_bytes(int32_t lines, int32_t columns, bool water_bodies);

    // The reach the searches from the channel pixels of `rect` need: the
    // largest among its blocks that hold channel pixels; 0 when none does.
    int32_t reach(const RasterRect& rect) const;
    // The largest reach of any block.
    int32_t largest() const { return largest_; }
    // Pixels of the raster's channel, as the pass counted them.
    int64_t channel_pixels() const { return channel_pixels_; }

    // A block's reach, by block line and column (for tests and plans).
    int32_t block_lines() const { return block_lines_; }
    int32_t block_columns() const { return block_columns_; }
    int32_t block_reach(int32_t block_line, int32_t block_column) const {
        return reaches_[static_cast<std::size_t>(block_line) * static_cast<std::size_t>(block_columns_) +
                        static_cast<std::size_t>(block_column)];
    }

    // The map as bytes, to hand it from one process to the others, and back.
    std::string to_bytes() const;
    static ReachMap from_bytes(const std::string& bytes);

private:
    int32_t block_lines_ = 0;
    int32_t block_columns_ = 0;
    int32_t largest_ = 0;
    int64_t channel_pixels_ = 0;
    std::vector<int16_t> reaches_;  // per block; 0 for a block without channel
};
