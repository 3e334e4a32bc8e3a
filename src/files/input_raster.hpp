// An input raster of a run: its raw file read in place (mapped_file.hpp), the
// grid's rows pointing into the mapping, or, where that cannot be, a grid of
// its own that the loader fills line by line. The computation sees the same
// GridView either way.
//
// A raw file is read in place only when it holds every byte of the raster
// (a shorter file is read into a grid, so the pixels it does not supply are
// 0) and its pixels need no byte swap on this host.
#pragma once

#include <cstdint>
#include <cstdio>
#include <type_traits>
#include <utility>
#include <vector>

#include "files/mapped_file.hpp"
#include "files/raster_pair.hpp"
#include "lib/grid.hpp"

template <typename T>
class InputRaster {
public:
    InputRaster() = default;
    // A raster held in a grid of its own (filled by the loader, or by a test).
    InputRaster(Grid<T>&& grid) : grid_(std::move(grid)) {}  // NOLINT(google-explicit-constructor)

    // The `lines` x `columns` raster of the raw file `file` read in place, from
    // the file's start; not made() when it cannot be (see above).
    static InputRaster in_place(std::FILE* file, int32_t lines, int32_t columns) {
        InputRaster raster;
        if constexpr (sizeof(T) > 1 && !kLittleEndianHost) return raster;
        if (file == nullptr || lines <= 0 || columns <= 0) return raster;
        const uint64_t row_bytes = static_cast<uint64_t>(columns) * sizeof(T);
        raster.mapping_ = MappedFile::map(fileno(file), row_bytes * static_cast<uint64_t>(lines));
        if (!raster.mapping_.mapped()) return raster;
        raster.rows_.reserve(static_cast<std::size_t>(lines));
        for (int32_t i = 0; i < lines; ++i)
            raster.rows_.push_back(reinterpret_cast<const T*>(raster.mapping_.bytes() + row_bytes * static_cast<uint64_t>(i)));
        raster.lines_ = lines;
        raster.columns_ = columns;
        return raster;
    }

    bool made() const { return grid_.made() || mapping_.mapped(); }
    bool in_place() const { return mapping_.mapped(); }
    GridView<const T> view() const {
        if (mapping_.mapped()) return {rows_.data(), lines_, columns_};
        return grid_.view();
    }
    const T* operator[](int64_t line) const { return view()[line]; }
    // The rows the loader fills; null when the raster is read in place.
    T* const* rows_to_fill() const { return grid_.rows(); }
    // Only the pixels asked for are read, here and there (mapped_file.hpp).
    void expect_scattered_reads() const { mapping_.expect_scattered_reads(); }
    // Whether the file lost pages while read in place: what was read is not the file's.
    bool lost_pages() const { return mapping_.lost_pages(); }

private:
    Grid<T> grid_;
    MappedFile mapping_;
    std::vector<const T*> rows_;
    int32_t lines_ = 0;
    int32_t columns_ = 0;
};
