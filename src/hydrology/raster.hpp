// A raster of the hydrology pass: its pixels line by line in one block, from
// the top-left one, and the eight neighbours of a pixel. Nothing else: where
// the grid lies on the ground is the caller's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

template <typename T>
struct Raster {
    int32_t lines = 0;
    int32_t columns = 0;
    std::vector<T> values;  // lines x columns

    Raster() = default;
    Raster(int32_t lines_, int32_t columns_, T fill = T{})
        : lines(lines_), columns(columns_), values(static_cast<std::size_t>(lines_) * static_cast<std::size_t>(columns_), fill) {}

    bool empty() const { return values.empty(); }
    std::size_t size() const { return values.size(); }
    T& operator[](std::size_t k) { return values[k]; }
    const T& operator[](std::size_t k) const { return values[k]; }
    std::size_t index(int32_t i, int32_t j) const {
        return static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(j);
    }
};

// A mask: a pixel is marked when its value is not 0. An empty mask marks nothing.
inline bool marked(const Raster<uint8_t>& mask, std::size_t k) { return !mask.empty() && mask[k] != 0; }

// The eight neighbours, orthogonal ones first, and their distances in pixels.
struct Step {
    int32_t di, dj;
    double length;
};
inline constexpr double kDiagonal = 1.4142135623730951;
inline constexpr std::array<Step, 8> kNeighbours{{{-1, 0, 1.0},
                                                  {0, 1, 1.0},
                                                  {1, 0, 1.0},
                                                  {0, -1, 1.0},
                                                  {-1, -1, kDiagonal},
                                                  {-1, 1, kDiagonal},
                                                  {1, 1, kDiagonal},
                                                  {1, -1, kDiagonal}}};

// Calls each(neighbour index, step) for the neighbours of pixel k inside a
// raster of lines x columns.
template <typename Each>
void for_each_neighbour(int32_t lines, int32_t columns, std::size_t k, Each each) {
    const auto width = static_cast<std::size_t>(columns);
    const auto i = static_cast<int32_t>(k / width);
    const auto j = static_cast<int32_t>(k % width);
    for (const Step& step : kNeighbours) {
        const int32_t m = i + step.di;
        const int32_t n = j + step.dj;
        if (m < 0 || n < 0 || m >= lines || n >= columns) continue;
        each(static_cast<std::size_t>(m) * width + static_cast<std::size_t>(n), step);
    }
}

template <typename T, typename Each>
void for_each_neighbour(const Raster<T>& raster, std::size_t k, Each each) {
    for_each_neighbour(raster.lines, raster.columns, k, each);
}

// Whether pixel k lies on the raster's outer edge.
template <typename T>
bool on_raster_edge(const Raster<T>& raster, std::size_t k) {
    const auto columns = static_cast<std::size_t>(raster.columns);
    const std::size_t i = k / columns;
    const std::size_t j = k % columns;
    return i == 0 || j == 0 || i + 1 == static_cast<std::size_t>(raster.lines) || j + 1 == columns;
}
