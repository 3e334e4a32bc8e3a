// Values for the pixels of a line (a river bank, a lake's shore, a contour)
// that fall where the model has no data: each takes the value of the nearest
// pixel of the same line that has data, nearest along the line (D8 steps
// through the line's own pixels, ties to the first reached in line order).
// A bank in a hole of the model then stands at the height of the bank beside
// the hole, not at the model's lowest value, which may be far below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hydrology/raster.hpp"

struct FillAlong {
    std::size_t filled = 0;    // pixels of the line without data that took a value
    std::size_t stranded = 0;  // ... that had no pixel with data in their piece of line (left as they were)
};

// `values` and `has_data` are lines x columns, line by line; `line` marks the
// line's pixels (any value but 0). has_data is read, never changed.
template <typename T>
FillAlong fill_along_lines(int32_t lines, int32_t columns, std::vector<T>& values, const std::vector<uint8_t>& has_data,
                           const std::vector<uint8_t>& line) {
    std::vector<uint8_t> reached(values.size(), 0);
    std::vector<std::size_t> front;
    for (std::size_t k = 0; k < values.size(); ++k)
        if (line[k] != 0 && (has_data.empty() || has_data[k] != 0)) {
            reached[k] = 1;
            front.push_back(k);
        }
    FillAlong result;
    while (!front.empty()) {
        std::vector<std::size_t> next;
        for (std::size_t k : front)
            for_each_neighbour(lines, columns, k, [&](std::size_t n, const Step&) {
                if (line[n] == 0 || reached[n]) return;
                reached[n] = 1;
                values[n] = values[k];
                ++result.filled;
                next.push_back(n);
            });
        front.swap(next);
    }
    for (std::size_t k = 0; k < values.size(); ++k) result.stranded += line[k] != 0 && !reached[k];
    return result;
}
