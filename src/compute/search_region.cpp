#include "compute/search_region.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "parallel/band_threads.hpp"

namespace {

// Whether one of the 8 bytes at `bytes` is the tone repeated in `tones` (a
// zero byte of their xor).
bool word_holds_tone(const unsigned char* bytes, uint64_t tones) {
    uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    const uint64_t x = word ^ tones;
    return ((x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL) != 0;
}

// The blocks of kRegionBlock x kRegionBlock pixels that hold the target, 1 or
// 0; false when none does.
bool mark_blocks(const ToneGrids& target, std::vector<unsigned char>& blocks, int32_t block_lines,
                 std::size_t block_columns, int32_t threads) {
    static_assert(kRegionBlock == 8, "a block's line is one 8-byte word");
    const auto whole = static_cast<std::size_t>(target.columns() / kRegionBlock);
    std::atomic<bool> any{false};
    split_in_bands(block_lines, threads, [&](int64_t first, int64_t end) {
        bool found = false;
        for (int64_t p = first; p < end; ++p) {
            unsigned char* marks = blocks.data() + static_cast<std::size_t>(p) * block_columns;
            const int64_t last = std::min<int64_t>(target.lines(), (p + 1) * kRegionBlock);
            for (std::size_t k = 0; k < target.count(); ++k) {
                const GridView<const unsigned char>& grid = target[k].grid;
                const unsigned char tone = target[k].tone.value();
                const uint64_t tones = 0x0101010101010101ULL * tone;
                for (int64_t i = p * kRegionBlock; i < last; ++i) {
                    const unsigned char* row = grid[i];
                    for (std::size_t q = 0; q < whole; ++q)
                        marks[q] |= static_cast<unsigned char>(word_holds_tone(row + q * kRegionBlock, tones));
                    for (auto j = static_cast<int32_t>(whole * kRegionBlock); j < grid.columns(); ++j)
                        marks[whole] |= static_cast<unsigned char>(row[j] == tone);
                }
            }
            for (std::size_t q = 0; q < block_columns; ++q) found = found || marks[q] != 0;
        }
        if (found) any = true;
    });
    return any;
}

}  // namespace

CornerRegion search_region(const ToneGrids& target, const Elevations& channel, const ChannelWindow& window,
                           int32_t threads) {
    CornerRegion region;
    const int32_t lines = target.lines();
    const int32_t columns = target.columns();
    region.from.assign(static_cast<std::size_t>(std::max(lines, 0)) + 1, 0);
    region.to.assign(region.from.size(), 0);
    region.reach.assign(region.from.size(), 0);
    if (target.empty()) return region;

    // The blocks of the tone and every block corner's exact distance to them.
    const int32_t block_lines = (lines + kRegionBlock - 1) / kRegionBlock;
    const auto block_columns = static_cast<std::size_t>((columns + kRegionBlock - 1) / kRegionBlock);
    std::vector<unsigned char> blocks(static_cast<std::size_t>(block_lines) * block_columns, 0);
    if (!mark_blocks(target, blocks, block_lines, block_columns, threads))
        return region;  // no tone: every search misses at once
    std::vector<const unsigned char*> block_rows;
    for (int32_t p = 0; p < block_lines; ++p) block_rows.push_back(blocks.data() + static_cast<std::size_t>(p) * block_columns);
    CornerMap corners = CornerMap::make(block_lines + 1, static_cast<int32_t>(block_columns) + 1);
    if (!corners.made()) throw std::bad_alloc();
    tone_corner_distance_eighths({block_rows.data(), block_lines, static_cast<int32_t>(block_columns)}, Tone(1),
                                 corners, threads);

    // Each channel line: how far its pixels can be from the tone (its blocks'
    // distances plus the diagonals of both blocks, 2 * 8 * sqrt 2 < 23 pixels,
    // and two pixels to spare; never beyond the largest ring), and the corner
    // lines within that distance, which its searches can reach.
    const std::size_t count = region.from.size();
    region.from.assign(count, std::numeric_limits<int32_t>::max());
    region.to.assign(count, std::numeric_limits<int32_t>::min());
    const int32_t line_shift = window.output.line - window.inputs.line;
    const int32_t column_shift = window.output.column - window.inputs.column;
    for (int32_t a = 0; a < channel.lines(); ++a) {
        const Elevations::Span& span = channel.line(a);
        if (span.count == 0) continue;
        const int32_t i = a + line_shift;
        const int32_t f = span.first + column_shift;
        const int32_t l = f + span.count - 1;
        const std::size_t p = static_cast<std::size_t>(i / kRegionBlock);
        int64_t farthest = 0;  // eighths of a block
        for (auto q = static_cast<std::size_t>(f / kRegionBlock); q <= static_cast<std::size_t>(l / kRegionBlock); ++q)
            farthest = std::max<int64_t>(farthest, corners.square(static_cast<int64_t>(p), static_cast<int64_t>(q)));
        const int64_t bound = farthest >= kFarAway ? kLargestRing : (farthest * kRegionBlock + 7) / 8 + 23 + 2;
        const auto reach = static_cast<int32_t>(std::min<int64_t>(bound, kLargestRing + 2));
        const int64_t top = std::max<int64_t>(0, int64_t{i} - reach);
        const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(count) - 1, int64_t{i} + reach + 1);
        for (int64_t k = top; k <= bottom; ++k) {
            const auto c = static_cast<std::size_t>(k);
            region.from[c] = std::min(region.from[c], static_cast<int32_t>(std::max<int64_t>(0, int64_t{f} - reach)));
            region.to[c] = std::max(region.to[c], static_cast<int32_t>(std::min<int64_t>(columns + 1, int64_t{l} + reach + 2)));
            region.reach[c] = std::max(region.reach[c], reach);
        }
    }
    for (std::size_t c = 0; c < count; ++c)
        if (region.from[c] > region.to[c]) region.from[c] = region.to[c] = 0;
    return region;
}
