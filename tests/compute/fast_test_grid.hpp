// A small 8-bit grid for the fast-search tests, held as row pointers like the
// run's grids, with helpers to scatter tone pixels.
#pragma once

#include <cstdint>
#include <cstddef>
#include <random>
#include <vector>

class TestGrid {
public:
    TestGrid(int32_t nb_lig, int32_t nb_col, unsigned char fill = 0)
        : nb_lig_(nb_lig), nb_col_(nb_col),
          cells_(static_cast<std::size_t>(nb_lig) * static_cast<std::size_t>(nb_col), fill) {
        for (int32_t i = 0; i < nb_lig; ++i) rows_.push_back(cells_.data() + static_cast<std::size_t>(i) * nb_col);
    }
    TestGrid(const TestGrid&) = delete;
    TestGrid& operator=(const TestGrid&) = delete;

    int32_t nb_lig() const { return nb_lig_; }
    int32_t nb_col() const { return nb_col_; }
    unsigned char* const* tab() const { return rows_.data(); }
    unsigned char& at(int32_t i, int32_t j) { return rows_[static_cast<std::size_t>(i)][j]; }

    // Each pixel takes `tone` with the given probability.
    void scatter(std::mt19937& random, unsigned char tone, double probability) {
        std::bernoulli_distribution pick(probability);
        for (auto& cell : cells_)
            if (pick(random)) cell = tone;
    }
    bool holds(int32_t tono) const {
        for (unsigned char cell : cells_)
            if (static_cast<int32_t>(cell) == tono) return true;
        return false;
    }

private:
    int32_t nb_lig_;
    int32_t nb_col_;
    std::vector<unsigned char> cells_;
    std::vector<unsigned char*> rows_;
};
