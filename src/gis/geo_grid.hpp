// A raster the GIS commands hold in memory: its pixels, line by line from
// the top-left one, with the georeferencing of their grid (size,
// geotransform, CRS: georef.hpp) carried along, so that whatever is made
// from a grid is written back onto the ground it was read from.
//
// No data has one representation from reading to writing: a pixel without
// data is marked in `has_data`, never by a value of its own. Why a mask:
//  - a value would have to be one that no pixel with data holds, and the
//    integer grids have none to spare: the model's scaled integers may span
//    the whole 32-bit range, and a channel elevation may be 0 or -9999 as
//    well as any other, so every step would have to check it again;
//  - GDAL gives validity as a mask: a band's nodata value, its mask or
//    alpha band and NaN all come as one mask band (read_band_line);
//  - which pixels of an output have no data is decided by a mask, the
//    channel zone, never by the values.
// A nodata value lives only in files: reading turns it into the mask (GDAL's
// mask band), writing turns the mask into the value the band declares and
// refuses one that a pixel with data holds (elevation_band.hpp). A pair of
// the console program has no room for a mask: import fills its holes with a
// value (fill_holes) and declares it in the pair's sidecar. A mask raster
// (the banks, the zone...) has no holes: its 0 is a value, "not marked".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "gis/georef.hpp"

template <typename T>
struct GeoGrid {
    Georef georef;
    std::vector<T> values;          // georef.lines x georef.columns
    std::vector<uint8_t> has_data;  // 0 where a pixel has no data; empty when every pixel has data

    bool holds_data(std::size_t k) const { return has_data.empty() || has_data[k] != 0; }
    std::size_t line_of(std::size_t k) const { return k / static_cast<std::size_t>(georef.columns); }
    std::size_t column_of(std::size_t k) const { return k % static_cast<std::size_t>(georef.columns); }

    // The pixels without data.
    std::size_t holes() const {
        std::size_t count = 0;
        for (std::size_t k = 0; k < has_data.size(); ++k) count += has_data[k] == 0;
        return count;
    }

    // The first pixel with data, in the order of the lines, that holds `value`.
    std::optional<std::size_t> first_holding(T value) const {
        for (std::size_t k = 0; k < values.size(); ++k)
            if (holds_data(k) && values[k] == value) return k;
        return std::nullopt;
    }

    // The values of the pixels with data, as reals.
    std::vector<double> data_values() const {
        std::vector<double> held;
        for (std::size_t k = 0; k < values.size(); ++k)
            if (holds_data(k)) held.push_back(static_cast<double>(values[k]));
        return held;
    }

    // Gives every pixel without data `fill`; they stay marked.
    void fill_holes(T fill) {
        for (std::size_t k = 0; k < has_data.size(); ++k)
            if (has_data[k] == 0) values[k] = fill;
    }

    // A pointer to each line, for the computation's views (GridView).
    std::vector<const T*> rows() const {
        std::vector<const T*> starts(static_cast<std::size_t>(georef.lines));
        for (std::size_t i = 0; i < starts.size(); ++i)
            starts[i] = values.data() + i * static_cast<std::size_t>(georef.columns);
        return starts;
    }
};
