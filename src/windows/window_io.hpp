// Where a windowed run reads and writes: a window source gives the inputs of
// any rectangle of the raster, a window sink takes the rounded result of a
// tile's core. The engine (windowed_run.hpp) knows nothing else of files:
// lorvantide-tiles reads and writes raw raster pairs (tiles/raw_windows.hpp),
// lorvantide-raster reads any GDAL raster with vector layers burned onto it
// and writes GeoTIFFs (gis/gdal_windows.hpp).
#pragma once

#include <cstdint>
#include <limits>

#include "compute/raster_window.hpp"
#include "files/rounding.hpp"

// Where the pixels of one rectangle go: a pointer per line for each input
// (each line holding at least the rectangle's columns), or null for an input
// not wanted. The slope model is never wanted without the masks.
struct WindowRows {
    int32_t* const* slope = nullptr;
    unsigned char* const* railing = nullptr;
    unsigned char* const* zone = nullptr;
    unsigned char* const* contour = nullptr;
    unsigned char* const* perimeter = nullptr;  // with water bodies only
};

class WindowSource {
public:
    virtual ~WindowSource() = default;
    // The raster's size, and whether it has water bodies (a perimeter).
    virtual int32_t lines() const = 0;
    virtual int32_t columns() const = 0;
    virtual bool water_bodies() const = 0;
    // Reads the pixels of `rect` (inside the raster) that `rows` wants.
    // Called from several threads at once: a source that cannot read
    // concurrently serialises its reads itself. Throws a std::runtime_error
    // (or a type derived from it) with the message of a failure.
    virtual void read(const RasterRect& rect, const WindowRows& rows) = 0;
};

// The result of one core: the rounded elevation of every pixel (0 outside
// the channel, as the console program's writer has it) and whether it is a
// channel pixel, both core.lines x core.columns, line by line.
struct CoreValues {
    const int32_t* rounded = nullptr;
    const unsigned char* channel = nullptr;
};

class WindowSink {
public:
    virtual ~WindowSink() = default;
    // Writes one core; the cores of a run cover the raster once. Called from
    // several threads at once (never for overlapping cores): a sink that
    // cannot write concurrently serialises its writes itself.
    virtual void write_core(const RasterRect& core, const CoreValues& values) = 0;
};

// What the cores add up to: the extremes of the rounded elevations as the
// console program's writer takes them (from 1000000 and 0, strict
// comparisons, every pixel taking part), the channel's pixels and their own
// extremes, and the searches without a hit.
struct CoreTotals {
    int32_t min = kResultMinimumStart;
    int32_t max = kResultMaximumStart;
    int64_t channel_pixels = 0;
    int32_t channel_low = std::numeric_limits<int32_t>::max();  // of the channel pixels, when there are any
    int32_t channel_high = std::numeric_limits<int32_t>::min();
    int64_t contour_misses = 0;
    int64_t boundary_misses = 0;
    // Tiles whose first window proved too small and were computed again (windowed_run.hpp).
    int64_t widened_tiles = 0;
    void fold(const CoreTotals& other);
};
