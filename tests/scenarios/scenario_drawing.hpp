// What the scenario generators draw with: deterministic noise, and curves
// given by their column on each line.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

inline constexpr double kTwoPi = 6.283185307179586;

// Cheap deterministic noise in [-range, range].
inline int32_t noise(int32_t i, int32_t j, int32_t range) {
    uint64_t x = (static_cast<uint64_t>(static_cast<uint32_t>(i)) << 32) ^ static_cast<uint32_t>(j);
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<int32_t>(x % static_cast<uint64_t>(2 * range + 1)) - range;
}

// Marks on line i the columns a curve (given by its column on each line)
// crosses between lines i and i + 1, so that it has no gap however steep it
// runs. `keep(j)` may refuse a pixel.
template <typename Column, typename Keep>
void draw_curve_on_line(int32_t i, uint8_t* row, int32_t nb_col, uint8_t tone, Column column, Keep keep) {
    const double a = column(i);
    const double b = column(i + 1.0);
    const auto from = std::max<int64_t>(static_cast<int64_t>(std::floor(std::min(a, b))), 0);
    const auto to = std::min<int64_t>(static_cast<int64_t>(std::floor(std::max(a, b))), nb_col - 1);
    for (int64_t j = from; j <= to; ++j)
        if (keep(j)) row[j] = tone;
}

// The same curve on every line of a raster held line after line.
template <typename Column, typename Keep>
void draw_curve(std::vector<uint8_t>& mask, int32_t nb_lig, int32_t nb_col, uint8_t tone, Column column, Keep keep) {
    for (int32_t i = 0; i < nb_lig; ++i)
        draw_curve_on_line(i, mask.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(nb_col), nb_col,
                           tone, column, [&](int64_t j) { return keep(i, j); });
}

template <typename Column>
void draw_curve(std::vector<uint8_t>& mask, int32_t nb_lig, int32_t nb_col, uint8_t tone, Column column) {
    draw_curve(mask, nb_lig, nb_col, tone, column, [](int32_t, int64_t) { return true; });
}
