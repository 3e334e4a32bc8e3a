#include "compute/corner_map.hpp"

#include <limits>

#include "lib/huge_pages.hpp"

CornerMap CornerMap::make(int32_t lines, int32_t width, Layout layout) {
    CornerMap map;
    if (lines <= 0 || width <= 0) return map;
    const auto tiles_per_line = (static_cast<std::size_t>(width) + kTileColumns - 1) / kTileColumns;
    const auto tile_lines = (static_cast<std::size_t>(lines) + kTileLines - 1) / kTileLines;
    if (tile_lines > std::numeric_limits<std::size_t>::max() / sizeof(uint16_t) / kTileCorners / tiles_per_line)
        return map;
    map.tiled_ = layout == Layout::tiles;
    // Held by lines, one more corner after the last one, which a square on
    // the last line and column may read.
    const std::size_t corners = map.tiled_ ? tile_lines * tiles_per_line * kTileCorners
                                           : static_cast<std::size_t>(lines) * static_cast<std::size_t>(width) + 1;
    map.pages_ = ZeroedPages::make(corners * sizeof(uint16_t));
    if (!map.pages_.made()) return map;
    map.data_ = static_cast<uint16_t*>(map.pages_.data());
    map.lines_ = lines;
    map.width_ = width;
    map.tiles_per_line_ = tiles_per_line;
    return map;
}

uint64_t CornerMap::bytes(int64_t lines, int64_t width) {
    if (lines <= 0 || width <= 0) return 0;
    const auto tiles_per_line = static_cast<uint64_t>((width + kTileColumns - 1) / kTileColumns);
    const auto tile_lines = static_cast<uint64_t>((lines + kTileLines - 1) / kTileLines);
    uint64_t tiles = 0;
    uint64_t total = 0;
    if (__builtin_mul_overflow(tiles_per_line, tile_lines, &tiles) ||
        __builtin_mul_overflow(tiles, kTileCorners * sizeof(uint16_t), &total))
        return std::numeric_limits<uint64_t>::max();
    return total;
}

void CornerMap::fill(uint16_t eighths) { std::fill(data_, data_ + pages_.bytes() / sizeof(uint16_t), eighths); }

void CornerMap::prefer_huge_pages() const {
    const auto* begin = static_cast<const char*>(pages_.data());
    ::prefer_huge_pages(begin, begin + pages_.bytes());
}
