// Small 8-bit grids for the search tests: filled, with a tone scattered at
// random, asked whether they hold a tone, and seen through a window.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "lib/grid.hpp"

inline Grid<unsigned char> filled(int32_t lines, int32_t columns, unsigned char value = 0) {
    Grid<unsigned char> grid = Grid<unsigned char>::make(lines, columns);
    for (int32_t i = 0; i < lines; ++i)
        for (int32_t j = 0; j < columns; ++j) grid[i][j] = value;
    return grid;
}

// Each pixel takes `tone` with the given probability.
inline void scatter(Grid<unsigned char>& grid, std::mt19937& random, unsigned char tone, double probability) {
    std::bernoulli_distribution pick(probability);
    for (int32_t i = 0; i < grid.lines(); ++i)
        for (int32_t j = 0; j < grid.columns(); ++j)
            if (pick(random)) grid[i][j] = tone;
}

inline bool holds(const Grid<unsigned char>& grid, int32_t tono) {
    for (int32_t i = 0; i < grid.lines(); ++i)
        for (int32_t j = 0; j < grid.columns(); ++j)
            if (grid[i][j] == tono) return true;
    return false;
}

// The rows of `grid` from column `first` on: a window's rows, for a GridView.
template <typename T>
std::vector<const T*> rows_from(GridView<const T> grid, int32_t first) {
    std::vector<const T*> rows;
    for (int32_t i = 0; i < grid.lines(); ++i) rows.push_back(grid[i] + first);
    return rows;
}
