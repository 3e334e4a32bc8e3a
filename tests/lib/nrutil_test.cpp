#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>

#include "nrutil.hpp"

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

TEST(Grids, RowsAreSeparateBlocksOfTheColumnCount) {
    unsigned char** g = ucmatrice(3, 2);
    ASSERT_NE(g, nullptr);
    g[1][2] = 7;  // last element of the second row
    EXPECT_EQ(g[0][0], 0);
    EXPECT_EQ(g[1][2], 7);
    EXPECT_NE(g[0], g[1]);
    frucmatrice(g, 2);
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
