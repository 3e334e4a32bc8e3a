#include "bench/inprocess_run.hpp"

#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <istream>
#include <new>
#include <sstream>
#include <streambuf>

#include "compute/channel.hpp"
#include "compute/ring_tables.hpp"
#include "console/progress_lines.hpp"
#include "console/stages.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// User and system time of the process so far, every thread's.
double processor_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

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

// The console's progress, with the time at which each step of the
// computation ends.
class TimedProgress final : public ChannelProgress {
public:
    TimedProgress(Console& console, StageTimes& times)
        : lines_([&console](std::string_view text) { console.progress(text); }), times_(times), mark_(Clock::now()) {}
    void pass_begun(int pass) override { lines_.pass_begun(pass); }
    void position_reached(int32_t line, int32_t column) override { lines_.position_reached(line, column); }
    void line_reached(int32_t line) override { lines_.line_reached(line); }
    bool wants_positions() const override { return true; }
    void share_done(double share) override { lines_.share_done(share); }
    void step_done(ChannelStep step) override {
        const double seconds = seconds_since(mark_);
        const double processor = processor_seconds();
        mark_ = Clock::now();
        switch (step) {
            case ChannelStep::boundary_marked: times_.setup += seconds; break;
            case ChannelStep::distances_measured: times_.distance_maps = seconds; break;
            case ChannelStep::first_pass:
                times_.pass1 = seconds;
                times_.pass1_processor = processor - processor_mark_;
                break;
            case ChannelStep::fill_passes: times_.passes2_7 = seconds; break;
        }
        processor_mark_ = processor;
    }

private:
    ProgressLines lines_;
    StageTimes& times_;
    Clock::time_point mark_;
    double processor_mark_ = processor_seconds();
};

// The computing stage as treatment() runs it (treatment_stage.cpp), with its
// steps timed. The benchmark compares the result written after it with the
// one the console program writes, so a part left out here would show.
bool compute_in_steps(Run& run, Console& console, StageTimes& t) {
    const auto start = Clock::now();
    const ChannelInputs inputs = channel_inputs(run);
    const ChannelWindow window = ChannelWindow::whole(run.nb_lig, run.nb_col);
    try {
        run.dtab = channel_elevations(inputs, run.parameters.zone_tone, window);
    } catch (const std::bad_alloc&) {
        return false;
    }
    t.setup = seconds_since(start);  // the elevations made; the lower boundary's marking is added to it
    bool computed = false;
    {
        TimedProgress progress(console, t);
        computed = compute_channel(inputs, run.parameters, window, run.dtab, progress, run.threads).computed;
    }
    console.end_progress();
    return computed;
}

}  // namespace

double ring_tables_first_use_seconds() {
    const auto start = Clock::now();
    const RingTables& tables = RingTables::shared();
    for (int32_t r = 1; r <= kLargestRing; ++r) tables.ring(r);
    return seconds_since(start);
}

StageTimes run_in_process(const std::string& answers, int32_t threads) {
    // Memory freed by earlier runs goes back to the system first, so that the
    // grids come as fresh pages, as in a new process: reused memory would have
    // to be cleared by the allocation and would not fault later.
    malloc_trim(0);
    StageTimes t;
    Run run;
    run.threads = threads;
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
    ok = ok && compute_in_steps(run, console, t);
    mark = Clock::now();
    ok = ok && go_on(save(run, console));
    t.writing = lap();
    t.whole = seconds_since(start);
    t.console_bytes = counted.bytes;
    t.completed = ok;
    return t;
}
