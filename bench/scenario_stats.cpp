#include "bench/scenario_stats.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr uint32_t kFar = std::numeric_limits<uint32_t>::max();

// Exact squared Euclidean distance transform, one dimension at a time (the
// lower envelope of parabolas along each line), folded straight into a
// histogram of the channel pixels' distances.
template <typename Marked>
DistanceSummary summarise(const Scenario& s, Marked marked) {
    const int64_t L = s.nb_lig, C = s.nb_col;
    // Down and up each column (a line at a time): the distance in lines to
    // the nearest marked pixel.
    std::vector<uint32_t> g(s.pixels(), kFar);
    const auto step = [](uint32_t d) { return d == kFar ? kFar : d + 1; };
    for (int64_t i = 0; i < L; ++i)
        for (int64_t j = 0; j < C; ++j) g[s.at(i, j)] = marked(s.at(i, j)) ? 0 : i > 0 ? step(g[s.at(i - 1, j)]) : kFar;
    for (int64_t i = L - 2; i >= 0; --i)
        for (int64_t j = 0; j < C; ++j) g[s.at(i, j)] = std::min(g[s.at(i, j)], step(g[s.at(i + 1, j)]));
    std::vector<int64_t> histogram;
    DistanceSummary out;
    double sum = 0;
    int64_t count = 0;
    std::vector<double> f(static_cast<std::size_t>(C)), z(static_cast<std::size_t>(C) + 1);
    std::vector<int64_t> v(static_cast<std::size_t>(C));
    const auto channel = static_cast<uint8_t>(s.tones.cauce);
    for (int64_t i = 0; i < L; ++i) {
        // Along the line: f(q) = g(q)^2, its lower envelope of parabolas.
        int64_t k = -1;
        for (int64_t q = 0; q < C; ++q) {
            const uint32_t gq = g[s.at(i, q)];
            if (gq == kFar) continue;
            f[q] = static_cast<double>(gq) * gq;
            double sq = 0;
            while (k >= 0) {
                const int64_t p = v[k];
                sq = ((f[q] + q * q) - (f[p] + p * p)) / (2.0 * (q - p));
                if (sq > z[k]) break;
                --k;
            }
            ++k;
            v[k] = q;
            z[k] = k == 0 ? -1e300 : sq;
            z[k + 1] = 1e300;
        }
        int64_t e = 0;
        for (int64_t q = 0; q < C; ++q) {
            if (s.zone[s.at(i, q)] != channel) continue;
            if (k < 0) {
                ++out.unreached;
                continue;
            }
            while (z[e + 1] < q) ++e;
            const double d2 = static_cast<double>(q - v[e]) * (q - v[e]) + f[v[e]];
            const auto d = static_cast<int64_t>(std::sqrt(d2));
            if (d >= static_cast<int64_t>(histogram.size())) histogram.resize(static_cast<std::size_t>(d) + 1, 0);
            ++histogram[d];
            sum += std::sqrt(d2);
            ++count;
        }
    }
    if (count == 0) return out;
    out.mean = sum / static_cast<double>(count);
    out.max = static_cast<int64_t>(histogram.size()) - 1;
    int64_t seen = 0;
    for (std::size_t d = 0; d < histogram.size(); ++d) {
        if (seen < (count + 1) / 2 && seen + histogram[d] >= (count + 1) / 2) out.median = static_cast<int64_t>(d);
        if (seen < (count * 95 + 99) / 100 && seen + histogram[d] >= (count * 95 + 99) / 100)
            out.p95 = static_cast<int64_t>(d);
        seen += histogram[d];
    }
    return out;
}

std::string summary_text(const DistanceSummary& d) {
    char text[160];
    std::snprintf(text, sizeof text, "mean %.1f, median %lld, 95 %% %lld, max %lld", d.mean,
                  static_cast<long long>(d.median), static_cast<long long>(d.p95), static_cast<long long>(d.max));
    std::string out = text;
    if (d.unreached > 0) out += ", " + std::to_string(d.unreached) + " with none";
    return out;
}

}  // namespace

ScenarioStats scenario_stats(const Scenario& s) {
    ScenarioStats out;
    const auto channel = static_cast<uint8_t>(s.tones.cauce);
    for (int64_t i = 0; i < s.nb_lig; ++i)
        for (int64_t j = 0; j < s.nb_col; ++j)
            if (s.zone[s.at(i, j)] == channel) {
                ++out.channel;
                out.lattice += i % 4 == 0 && j % 4 == 0;
            }
    if (s.pixels() == 0) return out;
    out.share = static_cast<double>(out.channel) / static_cast<double>(s.pixels());
    const auto lim = static_cast<uint8_t>(s.tones.lim), bar = static_cast<uint8_t>(s.tones.bar);
    const auto perim = static_cast<uint8_t>(s.tones.perim);
    out.contour = summarise(s, [&](std::size_t p) { return s.contour[p] == lim; });
    out.boundary = summarise(
        s, [&](std::size_t p) { return s.railing[p] == bar || (s.presence == 1 && s.perimeter[p] == perim); });
    return out;
}

std::string describe(const ScenarioStats& st) {
    char text[200];
    std::snprintf(text, sizeof text, "channel zone %.2f %% of the pixels (%lld, %lld of them searched in pass 1)",
                  100 * st.share, static_cast<long long>(st.channel), static_cast<long long>(st.lattice));
    return std::string(text) + "\n  distance to the lower boundary: " + summary_text(st.boundary) +
           "\n  distance to the contour line:   " + summary_text(st.contour);
}
