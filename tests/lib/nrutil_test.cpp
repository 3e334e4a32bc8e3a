#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>

#include "lib/grid.hpp"
#include "lib/nrutil.hpp"

namespace {

template <typename T>
bool all_bits_zero(const T* row, int n) {
    static const unsigned char zero[sizeof(T)] = {};
    for (int k = 0; k < n; ++k)
        if (std::memcmp(&row[k], zero, sizeof(T)) != 0) return false;
    return true;
}

template <typename T, typename Alloc, typename Release>
void expect_zero_grid(Alloc alloc, Release release) {
    // Columns first: 5 columns of 2 lines, then 2 columns of 5 lines.
    for (auto [cols, lines] : {std::pair{5, 2}, std::pair{2, 5}, std::pair{1, 1}}) {
        T** grid = alloc(cols, lines);
        ASSERT_NE(grid, nullptr);
        for (int k = 0; k < lines; ++k) {
            ASSERT_NE(grid[k], nullptr);
            EXPECT_TRUE(all_bits_zero(grid[k], cols));
            grid[k][cols - 1] = T(1);  // the last element of every row is writable (ASan checks the extent)
        }
        release(grid, lines);
    }
    EXPECT_EQ(alloc(0, 3), nullptr);
    EXPECT_EQ(alloc(3, 0), nullptr);
    EXPECT_EQ(alloc(-1, 3), nullptr);
    EXPECT_EQ(alloc(3, -1), nullptr);
}

template <typename T, typename Alloc, typename Release>
void expect_zero_vector(Alloc alloc, Release release) {
    T* v = alloc(7);
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(all_bits_zero(v, 7));
    v[6] = T(1);
    release(v);
    EXPECT_EQ(alloc(0), nullptr);
    EXPECT_EQ(alloc(-5), nullptr);
}

#if !defined(__SANITIZE_ADDRESS__)
// Exits with 0 when, within 1 GiB of address space, a grid whose row table
// cannot be had and a grid whose rows run out after a few thousand both
// yield null.
[[noreturn]] void allocate_beyond_a_gibibyte() {
    const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
    const bool refused = dmatrice(2147483647, 2147483647) == nullptr && imatrice(100000, 100000) == nullptr;
    std::_Exit(refused ? 0 : 1);
}
#endif

}  // namespace

TEST(Grids, EveryTypeIsZeroFilledColumnsFirstAndRefusesEmptyOrNegativeCounts) {
    expect_zero_grid<float>(fmatrice, frfmatrice);
    expect_zero_grid<unsigned char>(ucmatrice, frucmatrice);
    expect_zero_grid<uint16_t>(usmatrice, frusmatrice);
    expect_zero_grid<int16_t>(smatrice, frsmatrice);
    expect_zero_grid<int32_t>(imatrice, frimatrice);
    expect_zero_grid<double>(dmatrice, frdmatrice);
    expect_zero_grid<long double>(ldmatrice, frldmatrice);
}

TEST(Grids, SizesBeyondMemoryYieldNull) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer maps and poisons every granted row of such a grid,
    // which takes minutes, and it cannot run under an address-space limit.
    GTEST_SKIP() << "needs an address-space limit, which AddressSanitizer does not allow";
#else
    // In a child whose address space is limited to 1 GiB, so that the answer
    // does not depend on how much the machine would overcommit.
    EXPECT_EXIT(allocate_beyond_a_gibibyte(), ::testing::ExitedWithCode(0), "");
#endif
}

TEST(Vectors, EveryTypeIsZeroFilledAndRefusesEmptyOrNegativeCounts) {
    expect_zero_vector<unsigned char>(ucvecteur, frucvecteur);
    expect_zero_vector<uint16_t>(usvecteur, frusvecteur);
    expect_zero_vector<int16_t>(svecteur, frsvecteur);
    expect_zero_vector<int32_t>(ivecteur, frivecteur);
    expect_zero_vector<double>(dvecteur, frdvecteur);
    expect_zero_vector<float>(fvecteur, frfvecteur);
}

namespace {

// The grid type over the allocator's rows: the size it was made with, rows of
// zeros, nothing for an empty or impossible size, and the rows handed on (not
// copied) when the grid moves.
TEST(Grid, OwnsZeroRowsOfItsSizeAndHandsThemOnWhenMoved) {
    Grid<double> grid = Grid<double>::make(3, 5);
    ASSERT_TRUE(grid.made());
    EXPECT_EQ(grid.lines(), 3);
    EXPECT_EQ(grid.columns(), 5);
    for (int32_t i = 0; i < 3; ++i)
        for (int32_t j = 0; j < 5; ++j) EXPECT_EQ(grid[i][j], 0.0);
    grid[2][4] = 7.5;
    double* const* rows = grid.rows();
    Grid<double> moved = std::move(grid);
    EXPECT_EQ(moved.rows(), rows);
    EXPECT_FALSE(grid.made());  // NOLINT(bugprone-use-after-move): a moved-from grid is empty
    const GridView<const double> view = moved.view();
    EXPECT_EQ(view[2][4], 7.5);
    EXPECT_EQ(view.lines(), 3);
    EXPECT_FALSE(view.empty());

    for (const auto& [lines, columns] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-1, 4}}) {
        const Grid<unsigned char> none = Grid<unsigned char>::make(lines, columns);
        EXPECT_FALSE(none.made()) << lines << "x" << columns;
        EXPECT_EQ(none.lines(), 0);
        EXPECT_TRUE(none.view().empty());
    }
}

}  // namespace
