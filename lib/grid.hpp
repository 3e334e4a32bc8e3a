// The one grid type of the program: a raster held line by line, as the
// allocators of nrutil.hpp make it (a table of row pointers, each row a block
// of its own, so that one line of a raw file is read straight into one row).
//
// Grid<T> owns its rows and gives them back when it ends. GridView<T> is what
// the computation and the loaders take: the rows, the number of lines and the
// number of columns, nothing owned. A GridView<const T> reads a grid that it
// cannot change. An empty grid (no lines or no columns) has no rows at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "lib/nrutil.hpp"

template <typename T>
class GridView {
public:
    GridView() = default;
    GridView(T* const* rows, int32_t lines, int32_t columns) : rows_(rows), lines_(lines), columns_(columns) {}
    // A view of rows of U reads as a view of rows of const U.
    template <typename U, typename = std::enable_if_t<std::is_same_v<T, const U>>>
    GridView(const GridView<U>& other)  // NOLINT(google-explicit-constructor)
        : rows_(other.rows()), lines_(other.lines()), columns_(other.columns()) {}

    int32_t lines() const { return lines_; }
    int32_t columns() const { return columns_; }
    T* const* rows() const { return rows_; }
    T* operator[](int64_t line) const { return rows_[line]; }
    bool empty() const { return rows_ == nullptr || lines_ <= 0 || columns_ <= 0; }

private:
    T* const* rows_ = nullptr;
    int32_t lines_ = 0;
    int32_t columns_ = 0;
};

namespace grid_storage {

template <typename>
inline constexpr bool kNoAllocator = false;

// The allocator and release of nrutil.hpp for each element type.
template <typename T>
T** allocate(int32_t columns, int32_t lines) {
    if constexpr (std::is_same_v<T, unsigned char>) return ucmatrice(columns, lines);
    else if constexpr (std::is_same_v<T, uint16_t>) return usmatrice(columns, lines);
    else if constexpr (std::is_same_v<T, int16_t>) return smatrice(columns, lines);
    else if constexpr (std::is_same_v<T, int32_t>) return imatrice(columns, lines);
    else if constexpr (std::is_same_v<T, float>) return fmatrice(columns, lines);
    else if constexpr (std::is_same_v<T, double>) return dmatrice(columns, lines);
    else if constexpr (std::is_same_v<T, long double>) return ldmatrice(columns, lines);
    else static_assert(kNoAllocator<T>, "no allocator for this element type");
}

template <typename T>
void release(T** rows, int32_t lines) {
    if constexpr (std::is_same_v<T, unsigned char>) frucmatrice(rows, lines);
    else if constexpr (std::is_same_v<T, uint16_t>) frusmatrice(rows, lines);
    else if constexpr (std::is_same_v<T, int16_t>) frsmatrice(rows, lines);
    else if constexpr (std::is_same_v<T, int32_t>) frimatrice(rows, lines);
    else if constexpr (std::is_same_v<T, float>) frfmatrice(rows, lines);
    else if constexpr (std::is_same_v<T, double>) frdmatrice(rows, lines);
    else if constexpr (std::is_same_v<T, long double>) frldmatrice(rows, lines);
    else static_assert(kNoAllocator<T>, "no release for this element type");
}

}  // namespace grid_storage

template <typename T>
class Grid {
public:
    Grid() = default;
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;
    Grid(Grid&& other) noexcept { swap(other); }
    Grid& operator=(Grid&& other) noexcept {
        Grid(std::move(other)).swap(*this);
        return *this;
    }
    ~Grid() { grid_storage::release(rows_, lines_); }

    // A grid of `lines` lines of `columns` zero elements. Without the memory,
    // or for an empty size, the grid has no rows: made() says which.
    static Grid make(int32_t lines, int32_t columns) {
        Grid grid;
        grid.rows_ = grid_storage::allocate<T>(columns, lines);
        if (grid.rows_ != nullptr) {
            grid.lines_ = lines;
            grid.columns_ = columns;
        }
        return grid;
    }

    bool made() const { return rows_ != nullptr; }
    int32_t lines() const { return lines_; }
    int32_t columns() const { return columns_; }
    T* const* rows() const { return rows_; }
    T* operator[](int64_t line) { return rows_[line]; }
    const T* operator[](int64_t line) const { return rows_[line]; }

    GridView<T> view() { return {rows_, lines_, columns_}; }
    GridView<const T> view() const { return {rows_, lines_, columns_}; }

private:
    void swap(Grid& other) noexcept {
        std::swap(rows_, other.rows_);
        std::swap(lines_, other.lines_);
        std::swap(columns_, other.columns_);
    }

    T** rows_ = nullptr;
    int32_t lines_ = 0;
    int32_t columns_ = 0;
};
