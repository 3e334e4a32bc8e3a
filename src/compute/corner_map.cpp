#include "compute/corner_map.hpp"

#include <limits>

#include "lib/huge_pages.hpp"

CornerMap CornerMap::make(int32_t lines, int32_t width) {
    CornerMap map;
    if (lines <= 0 || width <= 0) return map;
    const auto tiles_per_line = (static_cast<std::size_t>(width) + kTileColumns - 1) / kTileColumns;
    const auto tile_lines = (static_cast<std::size_t>(lines) + kTileLines - 1) / kTileLines;
    if (tile_lines > std::numeric_limits<std::size_t>::max() / sizeof(uint16_t) / kTileCorners / tiles_per_line)
        return map;
    map.pages_ = ZeroedPages::make(tile_lines * tiles_per_line * kTileCorners * sizeof(uint16_t));
    if (!map.pages_.made()) return map;
    map.data_ = static_cast<uint16_t*>(map.pages_.data());
    map.lines_ = lines;
    map.width_ = width;
    map.tiles_per_line_ = tiles_per_line;
    return map;
}

void CornerMap::fill(uint16_t eighths) { std::fill(data_, data_ + pages_.bytes() / sizeof(uint16_t), eighths); }

void CornerMap::prefer_huge_pages() const {
    const auto* begin = static_cast<const char*>(pages_.data());
    ::prefer_huge_pages(begin, begin + pages_.bytes());
}
