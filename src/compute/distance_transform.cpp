#include "distance_transform.hpp"

#include <algorithm>
#include <utility>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

// floor(a / b) for b > 0, whatever the sign of a.
int64_t floor_div(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// floor(8 * sqrt(d2)), clamped to kFarAway: the largest e with e*e <= 64*d2.
uint16_t eighths_of(int64_t d2) {
    if (d2 >= (int64_t{kFarAway} * kFarAway) / 64 + 1) return kFarAway;
    const int64_t target = 64 * d2;
    auto e = static_cast<int64_t>(std::sqrt(static_cast<double>(target)));
    while (e * e > target) --e;
    while ((e + 1) * (e + 1) <= target) ++e;
    return static_cast<uint16_t>(std::min<int64_t>(e, kFarAway));
}

}  // namespace

bool tone_corner_distance_eighths(unsigned char* const* tab, int32_t nb_lig, int32_t nb_col, int32_t tono,
                                  uint16_t* dist) {
    const int32_t lines = nb_lig + 1;  // corner lines
    const auto width = static_cast<std::size_t>(nb_col) + 1;
    bool any = false;

    // Which corners of each pixel line belong to a square of the tone: both
    // ends of every such pixel.
    std::vector<unsigned char> upper_marks(width, 0), lower_marks(width, 0);
    auto mark_line = [&](int32_t i, std::vector<unsigned char>& marks) {
        std::fill(marks.begin(), marks.end(), 0);
        if (i < 0 || i >= nb_lig) return;
        const unsigned char* line = tab[i];
        for (std::size_t j = 0; j + 1 < width; ++j)
            if (static_cast<int32_t>(line[j]) == tono) {
                marks[j] = 1;
                marks[j + 1] = 1;
                any = true;
            }
    };

    // Down the lines: distance to the nearest marked corner above or on the
    // point, in the same column; a column without one keeps kFarAway, which
    // stays a lower bound of its (unbounded) distance. Corner line i touches
    // pixel lines i - 1 and i.
    for (int32_t i = 0; i < lines; ++i) {
        std::swap(upper_marks, lower_marks);  // pixel line i - 1
        mark_line(i, lower_marks);
        uint16_t* row = dist + static_cast<std::size_t>(i) * width;
        const uint16_t* previous = i > 0 ? row - width : nullptr;
        for (std::size_t j = 0; j < width; ++j) {
            if (upper_marks[j] | lower_marks[j])
                row[j] = 0;
            else
                row[j] = (previous && previous[j] < kFarAway) ? static_cast<uint16_t>(previous[j] + 1) : kFarAway;
        }
    }
    if (!any) {
        std::fill(dist, dist + static_cast<std::size_t>(lines) * width, kFarAway);
        return false;
    }
    // Up the lines: the nearest one below, if nearer.
    for (int32_t i = lines - 2; i >= 0; --i) {
        uint16_t* row = dist + static_cast<std::size_t>(i) * width;
        const uint16_t* below = row + width;
        for (std::size_t j = 0; j < width; ++j)
            if (below[j] < kFarAway && below[j] + 1 < row[j]) row[j] = static_cast<uint16_t>(below[j] + 1);
    }

    // Along each line: the lower envelope of the parabolas (x - k)^2 + g(k)^2,
    // all in integers, so the squared distance is exact.
    std::vector<int64_t> g2(width);
    std::vector<int32_t> s(width), t(width);
    const auto columns = static_cast<int32_t>(width);
    for (int32_t i = 0; i < lines; ++i) {
        uint16_t* row = dist + static_cast<std::size_t>(i) * width;
        for (std::size_t j = 0; j < width; ++j) g2[j] = int64_t{row[j]} * row[j];
        auto f = [&](int64_t x, int32_t k) { return (x - k) * (x - k) + g2[static_cast<std::size_t>(k)]; };
        auto sep = [&](int32_t k, int32_t u) {
            return floor_div(int64_t{u} * u - int64_t{k} * k + g2[static_cast<std::size_t>(u)] -
                                 g2[static_cast<std::size_t>(k)],
                             2 * (int64_t{u} - k));
        };
        int32_t q = 0;
        s[0] = 0;
        t[0] = 0;
        for (int32_t u = 1; u < columns; ++u) {
            while (q >= 0 && f(t[static_cast<std::size_t>(q)], s[static_cast<std::size_t>(q)]) >
                                 f(t[static_cast<std::size_t>(q)], u))
                --q;
            if (q < 0) {
                q = 0;
                s[0] = u;
            } else {
                const int64_t w = 1 + sep(s[static_cast<std::size_t>(q)], u);
                if (w < columns) {
                    ++q;
                    s[static_cast<std::size_t>(q)] = u;
                    t[static_cast<std::size_t>(q)] = static_cast<int32_t>(std::max<int64_t>(w, 0));
                }
            }
        }
        for (int32_t u = columns - 1; u >= 0; --u) {
            row[static_cast<std::size_t>(u)] = eighths_of(f(u, s[static_cast<std::size_t>(q)]));
            if (u == t[static_cast<std::size_t>(q)]) --q;
        }
    }
    return true;
}
