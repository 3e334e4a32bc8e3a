// An independent, plainly written model of the channel computation, built on
// the literal ring search: the oracle that the stage (and the end-to-end
// runs) are compared with. Header-only so that other test programs can use it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/reference/literal_circle.hpp"
#include "compute/ring_search.hpp"

struct ReferenceInput {
    int32_t nb_lig = 0, nb_col = 0;
    std::vector<std::vector<int32_t>> itab_in;
    std::vector<std::vector<unsigned char>> tab_bar, tab_in, tab_curv, tab_perim;
    int32_t presence = 0, tono_cauce = 0, tono_bar = 0, tono_lim = 0, tono_perim = 0;
    int32_t alti_bar = 0, alti_lim = 0;
    // When not empty, the altitude of each contour pixel, taken at the pixel
    // the contour search meets instead of alti_lim.
    std::vector<std::vector<int32_t>> alti_curv;
};

struct ReferenceResult {
    std::vector<std::vector<double>> dtab;
    std::string console;
};

namespace reference_detail {

inline std::vector<unsigned char*> rows_of(std::vector<std::vector<unsigned char>>& grid) {
    std::vector<unsigned char*> rows;
    for (auto& row : grid) rows.push_back(row.data());
    return rows;
}

inline std::string printed(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace reference_detail

inline ReferenceResult reference_treatment(ReferenceInput in) {
    using namespace reference_detail;
    const int32_t L = in.nb_lig, C = in.nb_col;
    ReferenceResult out;
    out.dtab.assign(static_cast<std::size_t>(L), std::vector<double>(static_cast<std::size_t>(C), 0.0));
    std::vector<std::vector<unsigned char>> lim(static_cast<std::size_t>(L),
                                                std::vector<unsigned char>(static_cast<std::size_t>(C), 255));
    for (int32_t i = 0; i < L; ++i)
        for (int32_t j = 0; j < C; ++j) {
            if (in.tab_bar[i][j] == in.tono_bar) lim[i][j] = 1;
            if (in.presence == 1 && in.tab_perim[i][j] == in.tono_perim) lim[i][j] = 1;
        }
    auto curv_rows = rows_of(in.tab_curv);
    auto lim_rows = rows_of(lim);
    const double A1 = in.alti_lim;
    long long no_contour = 0, no_boundary = 0;

    auto interpolate = [&](int32_t i, int32_t j) {
        const RingHit c = literal_circle(i, j, curv_rows.data(), in.tono_lim, L, C);
        const RingHit b = literal_circle(i, j, lim_rows.data(), 1, L, C);
        const double A = c.found() && !in.alti_curv.empty() ? in.alti_curv[c.line][c.column] : A1;
        if (!c.found()) ++no_contour;
        if (!b.found()) {
            ++no_boundary;
            out.dtab[i][j] = A;
            return;
        }
        const int32_t m2 = b.line, n2 = b.column;
        double A2 = in.itab_in[m2][n2];
        if (in.tab_bar[m2][n2] == in.tono_bar) {
            long long diff = static_cast<long long>(in.itab_in[m2][n2]) - in.alti_bar;
            if (diff > 2147483647LL) diff = 2147483647LL;
            if (diff < -2147483648LL) diff = -2147483648LL;
            A2 = static_cast<double>(diff);
        }
        if (!c.found()) {
            out.dtab[i][j] = A2;
            return;
        }
        const long double D1 = c.distance, D2 = b.distance;
        out.dtab[i][j] = static_cast<double>(((static_cast<long double>(A) - A2) / (D1 + D2)) * D2 + A2);
    };
    auto channel = [&](int32_t i, int32_t j) { return in.tab_in[i][j] == in.tono_cauce; };

    out.console += "\n\n primer paso\n\n";
    for (int32_t i = 0; i < L; i += 4)
        for (int32_t j = 0; j < C; j += 4) {
            char text[96];
            std::snprintf(text, sizeof text, "\tLinea %d    Columna %d          \r     ", i, j);
            out.console += text;
            if (channel(i, j)) interpolate(i, j);
        }

    // Passes 2 to 7 as their rules are stated: start, step, and each of the
    // four neighbours with its own inside test.
    struct Pass {
        const char* heading;
        int32_t i0, di, j0, dj, d;
        bool diagonal;
    };
    const Pass passes[] = {{"\n\n segundo paso\n\n", 2, 4, 2, 4, 2, true},
                           {"\n\n tercer paso\n\n", 2, 4, 0, 4, 2, false},
                           {"\n\n cuarto paso\n\n", 0, 4, 2, 4, 2, false},
                           {"\n\n quinto paso\n\n", 1, 2, 1, 2, 1, true},
                           {"\n\n sexto paso\n\n", 0, 2, 1, 2, 1, false},
                           {"\n\n septimo paso\n\n", 1, 2, 0, 2, 1, false}};
    for (const Pass& p : passes) {
        out.console += p.heading;
        for (int32_t i = p.i0; i < L; i += p.di) {
            out.console += printed("\tLinea %d          \r     ", i + 1);
            for (int32_t j = p.j0; j < C; j += p.dj) {
                if (!channel(i, j) || out.dtab[i][j] != 0.0) continue;
                double tot_alti = 0.0;
                int32_t ico = 0;
                auto take = [&](bool inside, int32_t m, int32_t n) {
                    if (inside && channel(m, n)) {
                        ++ico;
                        tot_alti += out.dtab[m][n];
                    }
                };
                const int32_t d = p.d;
                const bool right = j + d <= C - 1, below = i + d <= L - 1;
                if (p.diagonal) {
                    take(true, i - d, j - d);
                    take(right, i - d, j + d);
                    take(below, i + d, j - d);
                    take(right && below, i + d, j + d);
                } else {
                    take(i != 0, i - d, j);
                    take(right, i, j + d);
                    take(below, i + d, j);
                    take(j != 0, i, j - d);
                }
                if (ico > 0)
                    out.dtab[i][j] = static_cast<double>(static_cast<long double>(tot_alti) / ico);
                else
                    interpolate(i, j);
            }
        }
    }
    if (no_contour > 0 || no_boundary > 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "\n Aviso: %lld pixeles del cauce sin curva de nivel y %lld sin limite inferior a menos de "
                      "1500 pixeles \n",
                      no_contour, no_boundary);
        out.console += text;
    }
    return out;
}
