#include "windows/reach_map.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "compute/distance_transform.hpp"
#include "compute/tone.hpp"
#include "lib/grid.hpp"
#include "parallel/band_threads.hpp"

namespace {

int32_t blocks_of(int32_t pixels) { return (pixels + kReachBlock - 1) / kReachBlock; }

// Every pixel of a block within the reach of `eighths` (the distance, in
// eighths of a block, from its square to the nearest block square of a tone):
// that distance, the diagonals of both blocks and the margin; kLargestRing
// when the tone is absent or farther.
int32_t reach_of(uint16_t eighths, bool tone_present) {
    if (!tone_present || eighths >= kFarAway) return kLargestRing;
    const int64_t distance = (int64_t{eighths} * kReachBlock + 7) / 8 + (2 * 1414 * kReachBlock + 999) / 1000;
    return static_cast<int32_t>(std::min<int64_t>(kLargestRing, distance + kReachSlack + distance / 8));
}

}  // namespace

int32_t reach_band_lines(int32_t columns, bool water_bodies) {
    const uint64_t line = static_cast<uint64_t>(std::max(columns, 1)) * (water_bodies ? 4 : 3);
    const uint64_t blocks = kReachBandBytes / line / kReachBlock;
    return static_cast<int32_t>(std::clamp<uint64_t>(blocks, 1, 1024)) * kReachBlock;
}

ReachMap ReachMap::full(int32_t lines, int32_t columns) {
    ReachMap map;
    map.block_lines_ = blocks_of(std::max(lines, 0));
    map.block_columns_ = blocks_of(std::max(columns, 0));
    map.reaches_.assign(static_cast<std::size_t>(map.block_lines_) * static_cast<std::size_t>(map.block_columns_),
                        static_cast<int16_t>(kLargestRing));
    map.largest_ = map.reaches_.empty() ? 0 : kLargestRing;
    map.channel_pixels_ = int64_t{std::max(lines, 0)} * std::max(columns, 0);
    return map;
}

uint64_t ReachMap::measure_bytes(int32_t lines, int32_t columns, bool water_bodies) {
    const int32_t band_lines = std::min(reach_band_lines(columns, water_bodies), blocks_of(std::max(lines, 1)) * kReachBlock);
    const auto band = static_cast<uint64_t>(band_lines) * static_cast<uint64_t>(std::max(columns, 1)) *
                      (water_bodies ? 4 : 3);
    const auto blocks = static_cast<uint64_t>(blocks_of(std::max(lines, 1)) + 1) *
                        static_cast<uint64_t>(blocks_of(std::max(columns, 1)) + 1);
    // Three marks, two distance maps of 2 bytes and the reaches (2) per block.
    return band + blocks * (3 + 2 * 2 + 2);
}

ReachMap ReachMap::measure(WindowSource& source, const ChannelParameters& parameters, int32_t threads,
                           const std::function<void(double)>& band_done) {
    const ChannelTones tones(parameters);
    const int32_t lines = source.lines();
    const int32_t columns = source.columns();
    ReachMap map;
    map.block_lines_ = blocks_of(lines);
    map.block_columns_ = blocks_of(columns);
    const auto width = static_cast<std::size_t>(map.block_columns_);
    const std::size_t count = static_cast<std::size_t>(map.block_lines_) * width;
    if (count == 0) return map;
    // 1 where a block holds the tone (Tone(1) below), 0 elsewhere.
    std::vector<unsigned char> channel(count, 0), contour(count, 0), boundary(count, 0);

    const bool water = parameters.water_bodies;
    const int32_t band_lines = std::min(reach_band_lines(columns, water), map.block_lines_ * kReachBlock);
    const int32_t blocks_per_band = band_lines / kReachBlock;
    Grid<unsigned char> zone = Grid<unsigned char>::make(band_lines, columns);
    Grid<unsigned char> railing = Grid<unsigned char>::make(band_lines, columns);
    Grid<unsigned char> line = Grid<unsigned char>::make(band_lines, columns);
    Grid<unsigned char> perimeter = water ? Grid<unsigned char>::make(band_lines, columns) : Grid<unsigned char>();
    if (!zone.made() || !railing.made() || !line.made() || (water && !perimeter.made())) throw std::bad_alloc();
    std::atomic<int64_t> channel_pixels{0};
    // Each tone's byte, or -1 for a tone that marks no pixel (tone.hpp),
    // which no byte equals.
    const int zone_value = tones.zone.marks_pixels() ? tones.zone.value() : -1;
    const int contour_value = tones.contour.marks_pixels() ? tones.contour.value() : -1;
    const int railing_value = tones.railing.marks_pixels() ? tones.railing.value() : -1;
    const int perimeter_value = water && tones.perimeter.marks_pixels() ? tones.perimeter.value() : -1;
    for (int32_t first_block = 0; first_block < map.block_lines_; first_block += blocks_per_band) {
        const int32_t first_line = first_block * kReachBlock;
        const RasterRect band{first_line, 0, std::min(band_lines, lines - first_line), columns};
        WindowRows rows;
        rows.zone = zone.rows();
        rows.railing = railing.rows();
        rows.contour = line.rows();
        if (water) rows.perimeter = perimeter.rows();
        source.read(band, rows);
        const int32_t band_blocks = (band.lines + kReachBlock - 1) / kReachBlock;
        // Each block line of the band, its block columns shared among the threads.
        for (int32_t b = 0; b < band_blocks; ++b) {
            const int32_t p = first_block + b;
            const int32_t top = b * kReachBlock;
            const int32_t height = std::min(kReachBlock, band.lines - top);
            const std::size_t first = static_cast<std::size_t>(p) * width;
            split_in_bands(map.block_columns_, threads, [&](int64_t from, int64_t end) {
                int64_t pixels = 0;
                for (int64_t q = from; q < end; ++q) {
                    const int64_t left = q * kReachBlock;
                    const int64_t right = std::min<int64_t>(columns, left + kReachBlock);
                    // Plain byte comparisons folded with bitwise operations, which the
                    // compiler turns into vector instructions.
                    unsigned holds_channel = 0, holds_contour = 0, holds_boundary = 0;
                    for (int32_t a = top; a < top + height; ++a) {
                        const unsigned char* z = zone[a];
                        const unsigned char* c = line[a];
                        const unsigned char* r = railing[a];
                        for (int64_t j = left; j < right; ++j) {
                            const unsigned in = z[j] == zone_value;
                            pixels += in;
                            holds_channel |= in;
                            holds_contour |= c[j] == contour_value;
                            holds_boundary |= r[j] == railing_value;
                        }
                        if (water)
                            for (int64_t j = left; j < right; ++j) holds_boundary |= perimeter[a][j] == perimeter_value;
                    }
                    const std::size_t k = first + static_cast<std::size_t>(q);
                    channel[k] = static_cast<unsigned char>(holds_channel);
                    contour[k] = static_cast<unsigned char>(holds_contour);
                    boundary[k] = static_cast<unsigned char>(holds_boundary);
                }
                channel_pixels += pixels;
            });
        }
        if (band_done) band_done(static_cast<double>(first_block + band_blocks) / map.block_lines_);
    }
    map.channel_pixels_ = channel_pixels.load();

    // Each tone's distances at block resolution, then each channel block's reach.
    std::vector<const unsigned char*> rows(static_cast<std::size_t>(map.block_lines_));
    auto distances = [&](std::vector<unsigned char>& marks, CornerMap& eighths) {
        for (std::size_t p = 0; p < rows.size(); ++p) rows[p] = marks.data() + p * width;
        eighths = CornerMap::make(map.block_lines_ + 1, map.block_columns_ + 1, CornerMap::Layout::lines);
        if (!eighths.made()) throw std::bad_alloc();
        return tone_corner_distance_eighths({rows.data(), map.block_lines_, map.block_columns_}, Tone(1), eighths,
                                            threads);
    };
    CornerMap to_contour, to_boundary;
    const bool any_contour = distances(contour, to_contour);
    const bool any_boundary = distances(boundary, to_boundary);
    map.reaches_.assign(count, 0);
    for (std::size_t p = 0; p < static_cast<std::size_t>(map.block_lines_); ++p)
        for (std::size_t q = 0; q < width; ++q) {
            if (channel[p * width + q] == 0) continue;
            const auto block_line = static_cast<int64_t>(p), block_column = static_cast<int64_t>(q);
            const int32_t reach = std::max(reach_of(to_contour.square(block_line, block_column), any_contour),
                                           reach_of(to_boundary.square(block_line, block_column), any_boundary));
            map.reaches_[p * width + q] = static_cast<int16_t>(reach);
            map.largest_ = std::max(map.largest_, reach);
        }
    return map;
}

int32_t ReachMap::reach(const RasterRect& rect) const {
    if (rect.empty() || reaches_.empty()) return 0;
    const int32_t top = std::max(0, rect.line / kReachBlock);
    const int32_t bottom = std::min(block_lines_ - 1, (rect.line + rect.lines - 1) / kReachBlock);
    const int32_t left = std::max(0, rect.column / kReachBlock);
    const int32_t right = std::min(block_columns_ - 1, (rect.column + rect.columns - 1) / kReachBlock);
    int32_t reach = 0;
    for (int32_t p = top; p <= bottom; ++p)
        for (int32_t q = left; q <= right; ++q) reach = std::max(reach, block_reach(p, q));
    return reach;
}

std::string ReachMap::to_bytes() const {
    const int64_t head[4] = {block_lines_, block_columns_, largest_, channel_pixels_};
    std::string bytes(sizeof head + reaches_.size() * sizeof(int16_t), '\0');
    std::memcpy(bytes.data(), head, sizeof head);
    if (!reaches_.empty()) std::memcpy(bytes.data() + sizeof head, reaches_.data(), reaches_.size() * sizeof(int16_t));
    return bytes;
}

ReachMap ReachMap::from_bytes(const std::string& bytes) {
    ReachMap map;
    int64_t head[4] = {};
    if (bytes.size() < sizeof head) return map;
    std::memcpy(head, bytes.data(), sizeof head);
    map.block_lines_ = static_cast<int32_t>(head[0]);
    map.block_columns_ = static_cast<int32_t>(head[1]);
    map.largest_ = static_cast<int32_t>(head[2]);
    map.channel_pixels_ = head[3];
    map.reaches_.resize((bytes.size() - sizeof head) / sizeof(int16_t));
    if (!map.reaches_.empty())
        std::memcpy(map.reaches_.data(), bytes.data() + sizeof head, map.reaches_.size() * sizeof(int16_t));
    return map;
}
