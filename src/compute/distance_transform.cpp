#include "compute/distance_transform.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "parallel/band_threads.hpp"

namespace {

// floor(a / b) for b > 0, whatever the sign of a.
int64_t floor_div(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Squared distances from which floor(8 * sqrt(d2)) reaches kFarAway.
constexpr int64_t kFarSquare = (int64_t{kFarAway} * kFarAway) / 64 + 1;

// floor(8 * sqrt(d2)), clamped to kFarAway, for a line of squared distances
// already held at kFarSquare. The square root of a whole number below 2^52 is
// correctly rounded and never lies within rounding of a whole number unless it
// is one, and 8 * sqrt(d2) is exactly the rounded sqrt(64 d2) (a power of two
// scales the rounding too), so the floor is exact; kFarSquare itself gives
// 65535. In 32 bits, so that the loop takes several pixels at a time.
void eighths_of(const int32_t* d2, uint16_t* row, int32_t columns) {
    for (int32_t u = 0; u < columns; ++u)
        row[u] = static_cast<uint16_t>(static_cast<int32_t>(8.0 * std::sqrt(static_cast<double>(d2[u]))));
}

// floor((u^2 - k^2 + g2u - g2k) / (2 (u - k))), where the lower envelope moves
// from parabola k to parabola u. In double when the line is short enough that
// the numerator is exact and a quotient below 2^30 cannot round onto or across
// a whole number (its distance to one is at least 1 / (2 (u - k)) > 2^-21).
int64_t separation(int64_t k, int64_t u, int64_t g2k, int64_t g2u, bool short_line) {
    const int64_t numerator = u * u - k * k + g2u - g2k;
    const int64_t denominator = 2 * (u - k);
    if (short_line) {
        const double quotient = static_cast<double>(numerator) / static_cast<double>(denominator);
        if (quotient < 1073741824.0 && quotient > -1073741824.0) {
            // The floor without a library call: truncation, one less below zero
            // when the quotient is not whole.
            const auto whole = static_cast<int64_t>(quotient);
            return static_cast<double>(whole) > quotient ? whole - 1 : whole;
        }
    }
    return floor_div(numerator, denominator);
}

// One line of the lower envelope of the parabolas (x - k)^2 + g(k)^2, all in
// integers, so the squared distance is exact (Meijster, Roerdink, Hesselink),
// for the corners [from, to) of the line, from the parabolas of the columns
// [from - reach, to + reach): a parabola farther out is at least reach away
// from every corner asked, so a distance found beyond reach is held at reach
// (it is still a lower bound), unless no column was left out. Every other
// corner of the line gets 0, which bounds any distance from below. A column
// without the tone (g = kFarAway) is left out too: its parabola lies at 65535
// pixels or more, so wherever it would be the lowest the distance is held at
// kFarAway all the same; a line none of whose columns holds it gives kFarAway.
// `d2` is scratch room for the line's squared distances.
void envelope_line(uint16_t* row, int32_t columns, int32_t from, int32_t to, int32_t reach, int64_t* g2, int32_t* s,
                   int32_t* t, int32_t* d2) {
    const bool short_line = columns < (1 << 20);
    from = std::max(from, 0);
    to = std::min(to, columns);
    if (from >= to) {
        std::fill(row, row + columns, 0);
        return;
    }
    const auto first = static_cast<int32_t>(std::max<int64_t>(0, int64_t{from} - reach));
    const auto end = static_cast<int32_t>(std::min<int64_t>(columns, int64_t{to} + reach));
    const int64_t most = first == 0 && end == columns ? kFarSquare : std::min<int64_t>(int64_t{reach} * reach, kFarSquare);
    for (int32_t j = first; j < end; ++j) g2[j] = int64_t{row[j]} * row[j];
    auto f = [g2](int64_t x, int32_t k) { return (x - k) * (x - k) + g2[k]; };
    int32_t q = -1;
    for (int32_t u = first; u < end; ++u) {
        if (row[u] == kFarAway) continue;
        while (q >= 0 && f(t[q], s[q]) > f(t[q], u)) --q;
        if (q < 0) {
            q = 0;
            s[0] = u;
            t[0] = first;
        } else {
            const int64_t w = 1 + separation(s[q], u, g2[s[q]], g2[u], short_line);
            if (w < end) {
                ++q;
                s[q] = u;
                t[q] = static_cast<int32_t>(std::max<int64_t>(w, first));
            }
        }
    }
    if (q < 0) {
        // No column within reach holds the tone.
        std::fill(d2 + from, d2 + to, static_cast<int32_t>(most));
    } else {
        for (int32_t u = end - 1; u >= from; --u) {
            if (u < to) d2[u] = static_cast<int32_t>(std::min(f(u, s[q]), most));
            if (u == t[q]) --q;
        }
    }
    std::fill(row, row + from, 0);
    eighths_of(d2 + from, row + from, to - from);
    std::fill(row + to, row + columns, 0);
}

// The columns [first, end) of corners whose distances a region needs: those
// its lines can take parabolas from. All of them without a region.
std::pair<int64_t, int64_t> needed_columns(const CornerRegion* region, std::size_t corner_lines, std::size_t width) {
    if (!region) return {0, static_cast<int64_t>(width)};
    auto first = static_cast<int64_t>(width);
    int64_t end = 0;
    for (std::size_t i = 0; i < corner_lines; ++i) {
        if (region->from[i] >= region->to[i]) continue;
        first = std::min<int64_t>(first, std::max<int64_t>(0, int64_t{region->from[i]} - region->reach[i]));
        end = std::max<int64_t>(end, std::min<int64_t>(static_cast<int64_t>(width), int64_t{region->to[i]} + region->reach[i]));
    }
    return {first, std::max(end, first)};
}

// Marks the corners [c0, c1) of corner line `line`'s pixel line `i` that touch
// a pixel of the tone: corner j touches pixels j - 1 and j. Tells whether any
// does. The loop over the corners that touch two pixels of the line has no
// branch, so that the compiler does several at a time.
bool mark_corners(GridView<const unsigned char> grid, Tone tone, int32_t i, std::size_t c0, std::size_t c1,
                  std::vector<unsigned char>& marks) {
    if (i < 0 || i >= grid.lines()) {
        std::fill(marks.begin(), marks.end(), 0);
        return false;
    }
    const unsigned char* line = grid[i];
    const unsigned char t = tone.value();
    const auto columns = static_cast<std::size_t>(grid.columns());
    unsigned char hit = 0;
    if (c0 == 0) {  // corner 0 touches pixel 0 only
        marks[0] = line[0] == t;
        hit |= marks[0];
    }
    const std::size_t inner_end = std::min(c1, columns);
    for (std::size_t j = std::max<std::size_t>(c0, 1); j < inner_end; ++j) {
        const unsigned char mark = (line[j] == t) | (line[j - 1] == t);
        marks[j - c0] = mark;
        hit |= mark;
    }
    if (c1 > columns) {  // the last corner touches the last pixel only
        marks[columns - c0] = line[columns - 1] == t;
        hit |= marks[columns - c0];
    }
    return hit != 0;
}

// Down and up the corner columns [c0, c1): the distance to the nearest corner
// of a square of the tone in the same column. A column without one keeps
// kFarAway, which stays a lower bound of its (unbounded) distance. Corner
// (i, j) belongs to a square of the tone when one of the pixels (i - 1 or i,
// j - 1 or j) holds it. Tells whether any of these columns holds the tone.
bool column_phase(GridView<const unsigned char> grid, Tone tone, uint16_t* eighths, std::size_t c0, std::size_t c1) {
    const int32_t corner_lines = grid.lines() + 1;
    const auto width = static_cast<std::size_t>(grid.columns()) + 1;
    std::vector<unsigned char> upper(c1 - c0, 0), lower(c1 - c0, 0);
    // Every mark of the band is written, so a line is cleared only when it
    // holds nothing.
    bool found = false;
    for (int32_t i = 0; i < corner_lines; ++i) {
        std::swap(upper, lower);  // pixel line i - 1
        found = mark_corners(grid, tone, i, c0, c1, lower) || found;
        uint16_t* row = eighths + static_cast<std::size_t>(i) * width;
        const uint16_t* previous = i > 0 ? row - width : nullptr;
        for (std::size_t j = c0; j < c1; ++j) {
            if (upper[j - c0] | lower[j - c0])
                row[j] = 0;
            else
                row[j] = (previous && previous[j] < kFarAway) ? static_cast<uint16_t>(previous[j] + 1) : kFarAway;
        }
    }
    for (int32_t i = corner_lines - 2; i >= 0; --i) {
        uint16_t* row = eighths + static_cast<std::size_t>(i) * width;
        const uint16_t* next = row + width;
        // One more than the distance below, unless that is kFarAway: the
        // nearer of the two, without a branch.
        for (std::size_t j = c0; j < c1; ++j) {
            const auto below = static_cast<uint16_t>(next[j] + (next[j] != kFarAway ? 1 : 0));
            row[j] = below < row[j] ? below : row[j];
        }
    }
    return found;
}

}  // namespace

bool holds_tone(GridView<const unsigned char> grid, Tone tone) {
    if (!tone.marks_pixels()) return false;
    const auto columns = static_cast<std::size_t>(grid.columns());
    for (int32_t i = 0; i < grid.lines() && columns > 0; ++i)
        if (std::memchr(grid[i], tone.value(), columns) != nullptr) return true;
    return false;
}

bool tone_corner_distance_eighths(GridView<const unsigned char> grid, Tone tone, uint16_t* eighths, int32_t threads,
                                  const CornerRegion* region) {
    const int32_t corner_lines = grid.lines() + 1;
    const auto width = static_cast<std::size_t>(grid.columns()) + 1;
    std::atomic<bool> any{false};
    // A band of columns per thread.
    const std::pair<int64_t, int64_t> needed = needed_columns(region, static_cast<std::size_t>(corner_lines), width);
    const int64_t column_first = needed.first;
    const int64_t column_end = needed.second;
    if (tone.marks_pixels()) {
        split_in_bands(column_end - column_first, threads, [&](int64_t first, int64_t end) {
            if (first == end) return;  // no column at all
            if (column_phase(grid, tone, eighths, static_cast<std::size_t>(column_first + first),
                             static_cast<std::size_t>(column_first + end)))
                any = true;
        });
    }
    if (!any) {
        std::fill(eighths, eighths + static_cast<std::size_t>(corner_lines) * width, region ? 0 : kFarAway);
        // Nothing of the tone where the region looks: every distance stays 0,
        // and whether the grid holds it elsewhere is still to be told.
        return region && holds_tone(grid, tone);
    }

    // Along each line, a band of lines per thread: the nearest marked corner
    // of any column.
    const auto all = static_cast<int32_t>(width);
    split_in_bands(corner_lines, threads, [&](int64_t first, int64_t end) {
        std::vector<int64_t> g2(width);
        std::vector<int32_t> s(width), t(width), d2(width);
        for (int64_t i = first; i < end; ++i) {
            const auto k = static_cast<std::size_t>(i);
            envelope_line(eighths + k * width, all, region ? region->from[k] : 0, region ? region->to[k] : all,
                          region ? region->reach[k] : all, g2.data(), s.data(), t.data(), d2.data());
        }
    });
    return true;
}
