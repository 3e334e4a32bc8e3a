// The distances of a grid's pixel corners to a tone, in eighths of a pixel
// (distance_transform.hpp), held one of two ways:
// - in tiles of 32 corner lines by 64 corner columns, a 4 KiB page each, for
//   a map measured along a river across a large raster: it is written only
//   near the river, and the pages come from lib/zeroed_pages.hpp, so only the
//   tiles near the river take memory (held line after line, such a map would
//   have a page or two of every line written);
// - line after line, for a map measured over most of the grid, which takes
//   all its pages anyway: a search's clearance is then two reads of
//   neighbouring lines, without the tiles' address arithmetic (the pass-1
//   searches of the dense 4096 scenario took 13 % more processor in tiles).
// Every corner reads 0 until written.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "lib/zeroed_pages.hpp"

class CornerMap {
public:
    static constexpr int32_t kTileColumns = 64;
    static constexpr int32_t kTileLines = 32;
    enum class Layout { tiles, lines };

    CornerMap() = default;
    // `lines` x `width` corners, all 0; not made() when the memory cannot be had.
    static CornerMap make(int32_t lines, int32_t width, Layout layout = Layout::tiles);
    // The bytes a map takes at most (whole tiles), saturated at the largest uint64_t.
    static uint64_t bytes(int64_t lines, int64_t width);

    bool made() const { return data_ != nullptr; }
    int32_t lines() const { return lines_; }
    int32_t width() const { return width_; }

    uint16_t at(int64_t line, int64_t column) const { return data_[index(line, column)]; }
    void set(int64_t line, int64_t column, uint16_t eighths) { data_[index(line, column)] = eighths; }
    // The corners of `line` from column `first`, a multiple of kTileColumns,
    // to the end of its tile (or further), one after the other.
    uint16_t* tile_line(int64_t line, int64_t first) { return data_ + index(line, first); }
    // The least of the four corners of the square of pixel (line, column).
    uint16_t square(int64_t line, int64_t column) const {
        const std::size_t here = index(line, column);
        if (!tiled_) {
            const std::size_t below = here + static_cast<std::size_t>(width_);
            return std::min(std::min(data_[here], data_[here + 1]), std::min(data_[below], data_[below + 1]));
        }
        if (((column & (kTileColumns - 1)) != kTileColumns - 1) & ((line & (kTileLines - 1)) != kTileLines - 1))
            return std::min(std::min(data_[here], data_[here + 1]),
                            std::min(data_[here + kTileColumns], data_[here + kTileColumns + 1]));
        return std::min(std::min(data_[here], at(line, column + 1)),
                        std::min(at(line + 1, column), at(line + 1, column + 1)));
    }
    // Every corner (and the tiles' room beyond the width) set to `eighths`.
    void fill(uint16_t eighths);
    // Marks the map for huge pages (huge_pages.hpp): for a map that the
    // searches will read all over.
    void prefer_huge_pages() const;

private:
    static constexpr std::size_t kTileCorners = std::size_t{kTileColumns} * kTileLines;
    std::size_t index(int64_t line, int64_t column) const {
        const auto l = static_cast<std::size_t>(line);
        const auto c = static_cast<std::size_t>(column);
        if (!tiled_) return l * static_cast<std::size_t>(width_) + c;
        return ((l / kTileLines) * tiles_per_line_ + c / kTileColumns) * kTileCorners +
               (l % kTileLines) * kTileColumns + c % kTileColumns;
    }

    ZeroedPages pages_;
    uint16_t* data_ = nullptr;
    int32_t lines_ = 0;
    int32_t width_ = 0;
    bool tiled_ = true;
    std::size_t tiles_per_line_ = 0;
};
