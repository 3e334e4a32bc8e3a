#include "bench/search_check.hpp"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "parallel/band_threads.hpp"
#include "tests/reference/literal_circle.hpp"
#include "compute/ring_search.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Processor time of the calling thread, which other processes' load on the
// machine does not inflate as it does the wall-clock time.
double thread_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

bool same(const RingHit& a, const RingHit& b) { return a.distance == b.distance && a.line == b.line && a.column == b.column; }

struct SearchCentre {
    int32_t i, j;
};

struct SearchPair {
    RingHit contour, boundary;
};

// Row pointers over a mask held line after line.
std::vector<unsigned char*> rows_of(std::vector<uint8_t>& mask, const Scenario& s) {
    std::vector<unsigned char*> rows;
    for (int64_t i = 0; i < s.nb_lig; ++i) rows.push_back(mask.data() + s.at(i, 0));
    return rows;
}

}  // namespace

void check_searches(const Scenario& s, std::size_t sample_size) {
    if (s.pixels() == 0) return;
    const ScenarioTones& t = s.tones;
    // The lower boundary as the computing stage searches it: the railing, and
    // the perimeter with water bodies, each with its tone. The literal walk
    // takes it marked on one grid.
    std::vector<uint8_t> lower(s.pixels());
    for (std::size_t p = 0; p < lower.size(); ++p)
        lower[p] = (s.railing[p] == t.bar || (s.presence == 1 && s.perimeter[p] == t.perim)) ? 1 : 255;
    std::vector<uint8_t> contour_mask = s.contour, railing = s.railing, perimeter = s.perimeter;
    const std::vector<unsigned char*> contour_rows = rows_of(contour_mask, s);
    const std::vector<unsigned char*> lower_rows = rows_of(lower, s);
    const std::vector<unsigned char*> railing_rows = rows_of(railing, s);
    const std::vector<unsigned char*> perimeter_rows = rows_of(perimeter, s);
    const ToneGrids lower_boundary(GridView<const unsigned char>(railing_rows.data(), s.nb_lig, s.nb_col), Tone(t.bar),
                                   GridView<const unsigned char>(perimeter_rows.data(), s.nb_lig, s.nb_col),
                                   Tone(s.presence == 1 ? t.perim : -1));

    std::vector<SearchCentre> pass1;
    for (int32_t i = 0; i < s.nb_lig; i += 4)
        for (int32_t j = 0; j < s.nb_col; j += 4)
            if (s.zone[s.at(i, j)] == t.cauce) pass1.push_back({i, j});

    const std::clock_t maps_cpu = std::clock();
    auto start = Clock::now();
    const int32_t threads = threads_from_environment();
    const RingSearch contour(GridView<const unsigned char>(contour_rows.data(), s.nb_lig, s.nb_col), Tone(t.lim), threads);
    const double contour_map = seconds_since(start);
    start = Clock::now();
    const RingSearch boundary(lower_boundary, s.nb_lig, s.nb_col, {0, 0, s.nb_lig, s.nb_col}, threads);
    const double boundary_map = seconds_since(start);
    std::printf("  searches: distance maps built apart, contour %.3f s, lower boundary %.3f s, %.3f s of processor\n",
                contour_map, boundary_map, static_cast<double>(std::clock() - maps_cpu) / CLOCKS_PER_SEC);

    // The same random sample through both searches.
    std::mt19937_64 random(1);
    std::vector<SearchCentre> sample = pass1;
    std::shuffle(sample.begin(), sample.end(), random);
    sample.resize(std::min(sample.size(), sample_size));
    if (!sample.empty()) {
        std::vector<RingHit> fast(2 * sample.size());
        double fast_best = 1e30;
        for (int rep = 0; rep < 5; ++rep) {
            start = Clock::now();
            for (std::size_t k = 0; k < sample.size(); ++k) {
                fast[2 * k] = contour.find(sample[k].i, sample[k].j);
                fast[2 * k + 1] = boundary.find(sample[k].i, sample[k].j);
            }
            fast_best = std::min(fast_best, seconds_since(start));
        }
        std::size_t differ = 0;
        double dist_sum = 0;
        start = Clock::now();
        for (std::size_t k = 0; k < sample.size(); ++k) {
            const RingHit a = literal_circle(sample[k].i, sample[k].j, contour_rows.data(), t.lim, s.nb_lig, s.nb_col);
            const RingHit b = literal_circle(sample[k].i, sample[k].j, lower_rows.data(), 1, s.nb_lig, s.nb_col);
            differ += !same(a, fast[2 * k]) + !same(b, fast[2 * k + 1]);
            dist_sum += (a.found() ? a.distance : 0) + (b.found() ? b.distance : 0);
        }
        const double searches = static_cast<double>(2 * sample.size());
        const double literal_each = seconds_since(start) / searches, fast_each = fast_best / searches;
        std::printf("  sample of %zu pass-1 channel pixels (%zu searches, mean ring %.1f): %s", sample.size(),
                    2 * sample.size(), dist_sum / searches, differ == 0 ? "identical" : "DIFFERENT");
        if (differ) std::printf(" (%zu differ)", differ);
        std::printf("; literal %.1f us, fast %.3f us per search, ratio %.0f\n", literal_each * 1e6, fast_each * 1e6,
                    literal_each / fast_each);
    }

    // Every pass-1 channel pixel in the stage's order, then shared among the threads.
    const double cpu_start = thread_seconds();
    start = Clock::now();
    std::vector<SearchPair> one(pass1.size());
    for (std::size_t k = 0; k < pass1.size(); ++k)
        one[k] = {contour.find(pass1[k].i, pass1[k].j), boundary.find(pass1[k].i, pass1[k].j)};
    const double one_seconds = seconds_since(start), one_cpu = thread_seconds() - cpu_start;
    long long misses = 0;
    for (const SearchPair& p : one) misses += !p.contour.found() + !p.boundary.found();
    start = Clock::now();
    std::vector<SearchPair> shared(pass1.size());
    split_in_bands(static_cast<int64_t>(pass1.size()), threads, [&](int64_t first, int64_t end) {
        for (int64_t k = first; k < end; ++k) {
            const SearchCentre c = pass1[static_cast<std::size_t>(k)];
            shared[static_cast<std::size_t>(k)] = {contour.find(c.i, c.j), boundary.find(c.i, c.j)};
        }
    });
    const double shared_seconds = seconds_since(start);
    std::size_t differ = 0;
    for (std::size_t k = 0; k < pass1.size(); ++k)
        differ += !same(shared[k].contour, one[k].contour) + !same(shared[k].boundary, one[k].boundary);
    std::printf(
        "  all %zu pass-1 searches: %.3f s on one thread (%.3f s of processor, %.3f us each, %lld misses),"
        " %.3f s on %d threads, %s\n",
        2 * pass1.size(), one_seconds, one_cpu,
        pass1.empty() ? 0.0 : one_seconds * 1e6 / static_cast<double>(2 * pass1.size()), misses, shared_seconds,
        threads, differ == 0 ? "identical" : "DIFFERENT");
}
