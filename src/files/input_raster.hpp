// An input raster of a run, held in one of three ways, all of which the
// computation reads alike:
// - in place: its raw file mapped (mapped_file.hpp), the rows pointing into
//   the mapping, for a mask that the computation reads through;
// - by pages: its raw file read a page at a time as pixels are asked for
//   (paged_raster.hpp), for the slope model, read only here and there;
// - a grid of its own, which the loader fills line by line.
// A raw file is read in place or by pages only when it holds every byte of
// the raster (a shorter file is read into a grid, so the pixels it does not
// supply are 0), and in place only when its pixels need no byte swap on this
// host.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "files/mapped_file.hpp"
#include "files/paged_raster.hpp"
#include "files/raster_pair.hpp"
#include "lib/grid.hpp"

template <typename T>
class InputRaster {
public:
    InputRaster() = default;
    // A raster held in a grid of its own (filled by the loader, or by a test).
    InputRaster(Grid<T>&& grid) : grid_(std::move(grid)) {}  // NOLINT(google-explicit-constructor)

    // The `lines` x `columns` raster of the raw file `file` read in place,
    // from the file's start; not made() when it cannot be (see above).
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

    // The same read by pages (32-bit pixels only).
    static InputRaster by_pages(std::FILE* file, int32_t lines, int32_t columns) {
        static_assert(std::is_same_v<T, int32_t>, "pages of 32-bit pixels only");
        InputRaster raster;
        raster.paged_ = PagedRaster::open(file, lines, columns);
        return raster;
    }

    bool made() const { return grid_.made() || mapping_.mapped() || paged_ != nullptr; }
    bool in_place() const { return mapping_.mapped(); }
    bool by_pages() const { return paged_ != nullptr; }
    // The rows; empty when the raster is read by pages (pixels() gives them).
    GridView<const T> view() const {
        if (mapping_.mapped()) return {rows_.data(), lines_, columns_};
        return grid_.view();
    }
    // A raster read by pages, pixel by pixel; null otherwise.
    const PixelSource* pixels() const { return paged_.get(); }
    // The pixel at (line, column), however it is held.
    T at(int64_t line, int64_t column) const {
        if constexpr (std::is_same_v<T, int32_t>)
            if (paged_) return paged_->pixel(line, column);
        return view()[line][column];
    }
    const T* operator[](int64_t line) const { return view()[line]; }
    // The rows the loader fills; null when the raster is read in place or by pages.
    T* const* rows_to_fill() const { return grid_.rows(); }
    // Whether the file, read in place or by pages, lost pages: what was read is not the file's.
    bool lost_pages() const { return mapping_.lost_pages() || (paged_ && paged_->lost_pages()); }

private:
    Grid<T> grid_;
    MappedFile mapping_;
    std::unique_ptr<PagedRaster> paged_;
    std::vector<const T*> rows_;
    int32_t lines_ = 0;
    int32_t columns_ = 0;
};
