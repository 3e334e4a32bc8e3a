// The computation's output: an elevation for every pixel of a window, held
// only where the channel is. Each line keeps the columns from its first to
// its last channel pixel (a block of its own, made by the allocators of
// nrutil.hpp); every other pixel reads as 0.0, which is what a pixel outside
// the channel gets. A river across a large raster takes a few per cent of the
// memory (and of the pages) a whole grid of doubles would.
#pragma once

#include <cstdint>
#include <vector>

#include "compute/tone.hpp"
#include "lib/grid.hpp"

class Elevations {
public:
    Elevations() = default;
    Elevations(const Elevations&) = delete;
    Elevations& operator=(const Elevations&) = delete;
    Elevations(Elevations&& other) noexcept;
    Elevations& operator=(Elevations&& other) noexcept;
    ~Elevations();

    // All 0.0, for the `lines` x `columns` pixels whose zone mask is `zone`
    // (a view of exactly those pixels): room for the pixels of the tone
    // `zone_tone` and for those between them on each line. Throws
    // std::bad_alloc when the memory cannot be had.
    static Elevations for_channel(GridView<const unsigned char> zone, Tone zone_tone);

    int32_t lines() const { return static_cast<int32_t>(spans_.size()); }

    // The elevation at (line, column): 0.0 outside the held columns.
    double at(int32_t line, int32_t column) const {
        const Span& span = spans_[static_cast<std::size_t>(line)];
        return column >= span.first && column - span.first < span.count ? span.values[column - span.first] : 0.0;
    }
    // The elevation of a held pixel (a channel pixel, or one between two).
    double& operator()(int64_t line, int64_t column) { return spans_[static_cast<std::size_t>(line)].at(column); }

    // One line's held columns: values[k] is column first + k.
    struct Span {
        double* values = nullptr;
        int32_t first = 0;
        int32_t count = 0;
        // The elevation of a held column.
        double& at(int64_t column) const { return values[column - first]; }
    };
    const Span& line(int64_t line) const { return spans_[static_cast<std::size_t>(line)]; }

private:
    void release();

    std::vector<Span> spans_;  // one per line
};
