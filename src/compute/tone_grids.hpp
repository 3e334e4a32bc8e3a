// The pixels a search looks for: those of a tone in one grid, or those of
// either of two grids, each with its own tone. The lower boundary is the
// railing and, with water bodies, the water-body perimeter: its pixels are
// read from both masks where they lie, and no grid is made to mark them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "compute/tone.hpp"
#include "lib/grid.hpp"

struct ToneGrid {
    GridView<const unsigned char> grid;
    Tone tone;
};

class ToneGrids {
public:
    ToneGrids() = default;
    ToneGrids(GridView<const unsigned char> grid, Tone tone) : lines_(grid.lines()), columns_(grid.columns()) {
        add(grid, tone);
    }
    // Both grids of the same size.
    ToneGrids(GridView<const unsigned char> grid, Tone tone, GridView<const unsigned char> other, Tone other_tone)
        : ToneGrids(grid, tone) {
        add(other, other_tone);
    }

    int32_t lines() const { return lines_; }
    int32_t columns() const { return columns_; }
    // The grids whose tone can mark a pixel (none, one or two).
    std::size_t count() const { return count_; }
    const ToneGrid& operator[](std::size_t k) const { return grids_[k]; }
    // No pixel can be marked: no grid, no column, or no tone that marks.
    bool empty() const { return count_ == 0 || lines_ <= 0 || columns_ <= 0; }

    // Whether pixel (line, column) is one of them.
    bool marks(int64_t line, int64_t column) const {
        for (std::size_t k = 0; k < count_; ++k)
            if (grids_[k].tone.marks(grids_[k].grid[line][column])) return true;
        return false;
    }

private:
    void add(GridView<const unsigned char> grid, Tone tone) {
        if (!grid.empty() && tone.marks_pixels()) grids_[count_++] = {grid, tone};
    }

    std::array<ToneGrid, 2> grids_{{{{}, Tone(-1)}, {{}, Tone(-1)}}};
    std::size_t count_ = 0;
    int32_t lines_ = 0;
    int32_t columns_ = 0;
};
