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
// [from - reach, to + reach): every squared distance is held at `most`
// (reach * reach, or kFarSquare where nothing is held: see the header). A
// column without the tone (g = kFarAway) is left out: its parabola lies at
// 65535 pixels or more, so wherever it would be the lowest the distance is
// held at kFarAway all the same; a line none of whose columns holds it gives
// `most`. Only [from, to) of the row is written. `d2` is scratch room for the
// line's squared distances.
void envelope_line(uint16_t* row, int32_t columns, int32_t from, int32_t to, int32_t reach, int64_t most, int64_t* g2,
                   int32_t* s, int32_t* t, int32_t* d2) {
    const bool short_line = columns < (1 << 20);
    const auto first = static_cast<int32_t>(std::max<int64_t>(0, int64_t{from} - reach));
    const auto end = static_cast<int32_t>(std::min<int64_t>(columns, int64_t{to} + reach));
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
    eighths_of(d2 + from, row + from, to - from);
}

// Corner columns are swept in blocks of this many.
constexpr int32_t kSweepColumns = 64;

struct LineSpan {
    int32_t first, end;  // corner lines [first, end)
};

// Neighbouring blocks whose lines are the same are swept together, up to
// this many columns, so that the loops along a line stay long.
constexpr int32_t kSweepPieceColumns = 512;

// A run of corner columns [first, end) swept over the same corner lines.
struct SweepPiece {
    int32_t first, end;
    std::size_t block;  // the block whose lines these are
};

// A run of corner columns [first, end).
struct ColumnRun {
    int32_t first, end;
};

// Which corners the sweeps visit: for each block of corner columns, the runs
// of corner lines swept (in order, apart from one another), and the pieces
// of columns swept together; and for each corner line, the runs of columns
// the sweeps wrote (in order), which are cleared afterwards wherever they are
// not the line's own corners.
struct SweepPlan {
    std::vector<std::vector<LineSpan>> blocks;
    std::vector<SweepPiece> pieces;
    std::vector<std::vector<ColumnRun>> written;
};

bool same_lines(const std::vector<LineSpan>& a, const std::vector<LineSpan>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const LineSpan& x, const LineSpan& y) { return x.first == y.first && x.end == y.end; });
}

// The corners of corner line i that a region asks for, within [0, width).
std::pair<int32_t, int32_t> asked(const CornerRegion* region, std::size_t i, int32_t width) {
    if (!region) return {0, width};
    return {std::clamp(region->from[i], 0, width), std::clamp(region->to[i], 0, width)};
}

SweepPlan plan_sweeps(const CornerRegion* region, int32_t corner_lines, int32_t width) {
    SweepPlan plan;
    const int32_t blocks = (width + kSweepColumns - 1) / kSweepColumns;
    plan.blocks.resize(static_cast<std::size_t>(blocks));
    plan.written.resize(static_cast<std::size_t>(corner_lines));
    for (int32_t i = 0; i < corner_lines; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const auto [from, to] = asked(region, k, width);
        if (from >= to) continue;
        // Without a region every line reaches every corner of the grid.
        const int64_t reach = region ? std::max(region->reach[k], 0) : int64_t{corner_lines} + width;
        const auto first_column = static_cast<int32_t>(std::max<int64_t>(0, from - reach));
        const auto end_column = static_cast<int32_t>(std::min<int64_t>(width, to + reach));
        const LineSpan box{static_cast<int32_t>(std::max<int64_t>(0, i - reach)),
                           static_cast<int32_t>(std::min<int64_t>(corner_lines, i + reach + 1))};
        for (int32_t b = first_column / kSweepColumns; b <= (end_column - 1) / kSweepColumns; ++b) {
            std::vector<LineSpan>& spans = plan.blocks[static_cast<std::size_t>(b)];
            if (!spans.empty() && box.first <= spans.back().end && box.end >= spans.back().first) {
                spans.back().first = std::min(spans.back().first, box.first);
                spans.back().end = std::max(spans.back().end, box.end);
            } else {
                spans.push_back(box);
            }
        }
    }
    for (int32_t b = 0; b < blocks; ++b) {
        std::vector<LineSpan>& spans = plan.blocks[static_cast<std::size_t>(b)];
        std::sort(spans.begin(), spans.end(), [](const LineSpan& x, const LineSpan& y) { return x.first < y.first; });
        std::size_t kept = 0;
        for (const LineSpan& span : spans) {
            if (kept > 0 && span.first <= spans[kept - 1].end)
                spans[kept - 1].end = std::max(spans[kept - 1].end, span.end);
            else
                spans[kept++] = span;
        }
        spans.resize(kept);
        const int32_t c0 = b * kSweepColumns;
        const int32_t c1 = std::min(width, c0 + kSweepColumns);
        for (const LineSpan& span : spans)
            for (int32_t i = span.first; i < span.end; ++i) {
                std::vector<ColumnRun>& runs = plan.written[static_cast<std::size_t>(i)];
                if (!runs.empty() && runs.back().end == c0)
                    runs.back().end = c1;
                else
                    runs.push_back({c0, c1});
            }
        if (spans.empty()) continue;
        SweepPiece* last = plan.pieces.empty() ? nullptr : &plan.pieces.back();
        if (last && last->end == c0 && c1 - last->first <= kSweepPieceColumns &&
            same_lines(plan.blocks[last->block], spans))
            last->end = c1;
        else
            plan.pieces.push_back({c0, c1, static_cast<std::size_t>(b)});
    }
    return plan;
}

// Marks the corners [c0, c1) of one grid's pixel line `i` that touch a pixel
// of its tone: corner j touches pixels j - 1 and j. With `add`, the marks
// already there are kept. Tells whether any does. The loop over the corners
// that touch two pixels of the line has no branch, so that the compiler does
// several at a time.
template <bool add>
bool mark_grid_corners(const ToneGrid& layer, int32_t i, std::size_t c0, std::size_t c1,
                       unsigned char* __restrict marks) {
    const unsigned char* __restrict line = layer.grid[i];
    const unsigned char t = layer.tone.value();
    const auto columns = static_cast<std::size_t>(layer.grid.columns());
    unsigned char hit = 0;
    const auto put = [&](std::size_t at, unsigned char mark) {
        const auto kept = static_cast<unsigned char>(add ? marks[at] | mark : mark);
        marks[at] = kept;
        hit |= kept;
    };
    if (c0 == 0) put(0, line[0] == t);  // corner 0 touches pixel 0 only
    const std::size_t inner_end = std::min(c1, columns);
    for (std::size_t j = std::max<std::size_t>(c0, 1); j < inner_end; ++j)
        put(j - c0, static_cast<unsigned char>((line[j] == t) | (line[j - 1] == t)));
    if (c1 > columns) put(columns - c0, line[columns - 1] == t);  // the last corner touches the last pixel only
    return hit != 0;
}

// The corners [c0, c1) of pixel line i that touch a pixel of the target.
bool mark_corners(const ToneGrids& target, int32_t i, std::size_t c0, std::size_t c1, std::vector<unsigned char>& marks) {
    if (i < 0 || i >= target.lines() || target.count() == 0) {
        std::fill(marks.begin(), marks.end(), 0);
        return false;
    }
    bool hit = mark_grid_corners<false>(target[0], i, c0, c1, marks.data());
    for (std::size_t k = 1; k < target.count(); ++k) hit = mark_grid_corners<true>(target[k], i, c0, c1, marks.data()) || hit;
    return hit;
}

// Down and up the corner columns [c0, c1) (c0 the first of a tile), over the
// corner lines of `span` only: the distance to the nearest corner of a square
// of the tone in the same column among those lines. A column without one
// keeps kFarAway. Corner (i, j) belongs to a square of the tone when one of
// the pixels (i - 1 or i, j - 1 or j) holds it. Tells whether any of these
// corners does.
bool column_phase(const ToneGrids& target, CornerMap& map, std::size_t c0, std::size_t c1, LineSpan span,
                  std::vector<unsigned char>& upper, std::vector<unsigned char>& lower) {
    constexpr std::size_t kTile = CornerMap::kTileColumns;
    bool found = mark_corners(target, span.first - 1, c0, c1, lower);
    for (int32_t i = span.first; i < span.end; ++i) {
        std::swap(upper, lower);  // pixel line i - 1
        found = mark_corners(target, i, c0, c1, lower) || found;
        for (std::size_t tile = c0; tile < c1; tile += kTile) {
            const std::size_t count = std::min(kTile, c1 - tile);
            uint16_t* row = map.tile_line(i, static_cast<int64_t>(tile));
            const unsigned char* above = upper.data() + (tile - c0);
            const unsigned char* below = lower.data() + (tile - c0);
            if (i == span.first) {
                for (std::size_t j = 0; j < count; ++j) row[j] = (above[j] | below[j]) ? 0 : kFarAway;
                continue;
            }
            const uint16_t* previous = map.tile_line(i - 1, static_cast<int64_t>(tile));
            for (std::size_t j = 0; j < count; ++j) {
                const auto next = static_cast<uint16_t>(previous[j] + (previous[j] != kFarAway ? 1 : 0));
                row[j] = (above[j] | below[j]) ? 0 : next;
            }
        }
    }
    for (int32_t i = span.end - 2; i >= span.first; --i) {
        for (std::size_t tile = c0; tile < c1; tile += kTile) {
            const std::size_t count = std::min(kTile, c1 - tile);
            uint16_t* row = map.tile_line(i, static_cast<int64_t>(tile));
            const uint16_t* next = map.tile_line(i + 1, static_cast<int64_t>(tile));
            // One more than the distance below, unless that is kFarAway: the
            // nearer of the two, without a branch.
            for (std::size_t j = 0; j < count; ++j) {
                const auto below = static_cast<uint16_t>(next[j] + (next[j] != kFarAway ? 1 : 0));
                row[j] = below < row[j] ? below : row[j];
            }
        }
    }
    return found;
}

// work(first, end) over [0, count) in pieces of `piece`, handed out to up to
// `threads` threads as they come for them.
template <typename Work>
void share_out(int64_t count, int64_t piece, int32_t threads, const Work& work) {
    std::atomic<int64_t> next{0};
    split_in_bands(std::min<int64_t>(threads, (count + piece - 1) / piece), threads, [&](int64_t, int64_t) {
        for (int64_t first = next.fetch_add(piece); first < count; first = next.fetch_add(piece))
            work(first, std::min(count, first + piece));
    });
}

}  // namespace

bool holds_tone(const ToneGrids& target) {
    const auto columns = static_cast<std::size_t>(target.columns());
    for (std::size_t k = 0; k < target.count(); ++k)
        for (int32_t i = 0; i < target.lines() && columns > 0; ++i)
            if (std::memchr(target[k].grid[i], target[k].tone.value(), columns) != nullptr) return true;
    return false;
}

bool tone_corner_distance_eighths(const ToneGrids& target, CornerMap& map, int32_t threads,
                                  const CornerRegion* region) {
    const int32_t corner_lines = std::max(target.lines(), 0) + 1;
    const int32_t all = std::max(target.columns(), 0) + 1;
    const auto width = static_cast<std::size_t>(all);
    if (target.empty()) {
        // Nothing to find: every distance is unbounded (a region's stay 0).
        if (!region) map.fill(kFarAway);
        return false;
    }

    // Down and up the columns, a piece of them at a time, over the lines the
    // region's boxes cover there (all of them without a region).
    const SweepPlan plan = plan_sweeps(region, corner_lines, all);
    std::atomic<bool> any{false};
    share_out(static_cast<int64_t>(plan.pieces.size()), 1, threads, [&](int64_t first, int64_t end) {
        std::vector<unsigned char> upper, lower;
        bool found = false;
        for (int64_t p = first; p < end; ++p) {
            const SweepPiece& piece = plan.pieces[static_cast<std::size_t>(p)];
            const auto c0 = static_cast<std::size_t>(piece.first);
            const auto c1 = static_cast<std::size_t>(piece.end);
            upper.resize(c1 - c0);
            lower.resize(c1 - c0);
            for (const LineSpan& span : plan.blocks[piece.block])
                found = column_phase(target, map, c0, c1, span, upper, lower) || found;
        }
        if (found) any = true;
    });
    // Without a region and without the tone, every corner holds kFarAway already.
    if (!any && !region) return false;

    // Along each line: its vertical distances gathered from the tiles, the
    // nearest marked corner of any column, and the line written back, the
    // sweeps' values around its own corners cleared.
    share_out(corner_lines, 64, threads, [&](int64_t first, int64_t end) {
        std::vector<uint16_t> row(width);
        std::vector<int64_t> g2(width);
        std::vector<int32_t> s(width), t(width), d2(width);
        constexpr int64_t kTile = CornerMap::kTileColumns;
        // Columns [from, to) of line i from the map into `row`, or from `row`
        // (or zeros, without it) into the map.
        const auto copy = [&](int64_t i, int64_t from, int64_t to, bool into_row, bool zeros) {
            if (from >= to) return;
            for (int64_t tile = from / kTile * kTile; tile < to; tile += kTile) {
                uint16_t* corners = map.tile_line(i, tile);
                const int64_t begin = std::max<int64_t>(tile, from);
                const int64_t stop = std::min<int64_t>(tile + kTile, to);
                if (into_row)
                    std::copy(corners + (begin - tile), corners + (stop - tile), row.begin() + begin);
                else if (zeros)
                    std::fill(corners + (begin - tile), corners + (stop - tile), 0);
                else
                    std::copy(row.begin() + begin, row.begin() + stop, corners + (begin - tile));
            }
        };
        for (int64_t i = first; i < end; ++i) {
            const auto k = static_cast<std::size_t>(i);
            const std::vector<ColumnRun>& written = plan.written[k];
            if (written.empty()) continue;  // no sweep wrote here: nothing asked, nothing to clear
            const auto [from, to] = asked(region, k, all);
            if (from < to) {
                const int64_t reach = region ? std::max(region->reach[k], 0) : int64_t{corner_lines} + all;
                const auto window_from = static_cast<int32_t>(std::max<int64_t>(0, from - reach));
                const auto window_to = static_cast<int32_t>(std::min<int64_t>(all, to + reach));
                copy(i, window_from, window_to, true, false);
                // Nothing is held where the line's box covers the whole grid.
                const bool whole = from - reach <= 0 && to + reach >= all && i - reach <= 0 &&
                                   i + reach + 1 >= corner_lines;
                const int64_t most = whole ? kFarSquare : std::min(reach * reach, kFarSquare);
                envelope_line(row.data(), all, from, to, static_cast<int32_t>(std::min<int64_t>(reach, all)), most,
                              g2.data(), s.data(), t.data(), d2.data());
            }
            // The line's own corners written back, every other corner the
            // sweeps wrote cleared.
            for (const ColumnRun& run : written) {
                copy(i, run.first, std::min(run.end, from), false, true);
                copy(i, std::max(run.first, from), std::min(run.end, to), false, false);
                copy(i, std::max(run.first, to), run.end, false, true);
            }
        }
    });
    return any || (region && holds_tone(target));
}
