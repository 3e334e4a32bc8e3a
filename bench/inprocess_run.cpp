#include "inprocess_run.hpp"

#include <malloc.h>

#include <chrono>
#include <istream>
#include <sstream>
#include <streambuf>

#include "channel_passes.hpp"
#include "fast_ring_tables.hpp"
#include "nrutil.hpp"
#include "pixel_interpolation.hpp"
#include "stages.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Swallows the console, counting its bytes.
class CountingBuffer : public std::streambuf {
public:
    uint64_t bytes = 0;

protected:
    int overflow(int c) override {
        ++bytes;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        bytes += static_cast<uint64_t>(n);
        return n;
    }
};

bool go_on(Outcome outcome) { return outcome == Outcome::go_on; }

// The computing stage part by part, in the order treatment() takes them.
// The benchmark compares the result written after it with the one the
// console program writes, so a part left out here would show.
bool compute_in_parts(Run& run, Console& console, StageTimes& t) {
    auto start = Clock::now();
    if (run.nb_lig > 0 && run.nb_col > 0) {
        run.tab_lim_inf = ucmatrice(run.nb_col, run.nb_lig);
        if (run.tab_lim_inf == nullptr) return false;
    }
    prepare_grids(run);
    t.setup = seconds_since(start);
    start = Clock::now();
    DistanceInterpolation interpolation(run);
    t.distance_maps = seconds_since(start);
    start = Clock::now();
    coarse_pass(run, console, interpolation);
    t.pass1 = seconds_since(start);
    start = Clock::now();
    const PixelInterpolation interpolate = [&interpolation](int32_t i, int32_t j) { interpolation.apply(i, j); };
    for (const FillPass& pass : kFillPasses) fill_pass(run, console, pass, interpolate);
    console.end_progress();
    t.passes2_7 = seconds_since(start);
    return true;
}

}  // namespace

double ring_tables_first_use_seconds() {
    const auto start = Clock::now();
    ring_tables();
    return seconds_since(start);
}

StageTimes run_in_process(const std::string& answers) {
    // Memory freed by earlier runs goes back to the system first, so that the
    // grids come as fresh pages, as in a new process: reused memory would have
    // to be cleared by the allocation and would not fault later.
    malloc_trim(0);
    StageTimes t;
    Run run;
    CountingBuffer counted;
    std::ostream out(&counted);
    std::istringstream typed(answers);
    Console console(typed, out);
    const auto start = Clock::now();
    auto mark = start;
    const auto lap = [&mark] {
        const double s = seconds_since(mark);
        mark = Clock::now();
        return s;
    };
    bool ok = go_on(opening(run, console)) && go_on(parameters(run, console));
    t.dialogs = lap();
    ok = ok && go_on(lecture(run, console));
    t.loading = lap();
    ok = ok && compute_in_parts(run, console, t);
    mark = Clock::now();
    ok = ok && go_on(save(run, console));
    t.writing = lap();
    t.whole = seconds_since(start);
    t.console_bytes = counted.bytes;
    t.completed = ok;
    return t;
}
