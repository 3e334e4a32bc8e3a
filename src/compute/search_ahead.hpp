// Pass 1's searches run ahead of its progress and its elevations. The pass
// reports every lattice position and gives each channel pixel its elevation
// in order, on the calling thread; meanwhile the other threads search the
// channel pixels that come next, a run of them at a time. When the calling
// thread needs a pixel whose run no thread has searched yet, it searches a run
// itself, so no thread waits while there is a search to make, and the printing
// of the positions overlaps the searches instead of following them.
//
// A run is taken by one thread and searched whole into its own slot of a ring
// of slots; the calling thread reads a slot only once its run is published and
// hands it back once past it, and no run is taken more than a ring's length
// ahead of the calling thread, so the results take a fixed amount of memory.
// Each result is that of the pixel's own two searches, whoever made them: the
// elevations, the miss counts and the events are those of one pixel after the
// other, for any number of threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "compute/pixel_interpolation.hpp"

class SearchAhead {
public:
    // The searches of `centres` (kept by the caller, unchanged while in use).
    SearchAhead(const DistanceInterpolation& interpolation, const std::vector<SearchCentre>& centres);

    // The searches of centres[k], made by now; k must grow from one call to
    // the next. Called by one thread, the one that runs pass 1.
    const SearchPair& result(std::size_t k);

    // What each helper thread does until every run is searched or stop() is
    // called: take the next run, search it, publish it.
    void help();
    // Ends the helpers' work (the calling thread is done, or failed).
    void stop();

private:
    static constexpr std::size_t kRun = 512;   // centres of a run
    static constexpr std::size_t kSlots = 64;  // runs searched ahead at most

    // Takes the next run if it lies within the ring; -1 when there is none to
    // take now. Under `lock_`.
    int64_t take_run();
    void search_run(int64_t run);

    const DistanceInterpolation& interpolation_;
    const std::vector<SearchCentre>& centres_;
    int64_t runs_;
    std::size_t slots_;  // kSlots, or fewer for a pass of fewer runs
    std::unique_ptr<SearchPair[]> results_;  // slots_ runs of kRun
    std::unique_ptr<std::atomic<int64_t>[]> published_;  // the run each slot holds, or -1
    int64_t next_run_ = 0;   // the next run to take (under lock_)
    int64_t current_ = -1;   // the calling thread's run; the runs before it are handed back (under lock_)
    bool stopped_ = false;   // under lock_
    std::mutex lock_;
    std::condition_variable changed_;
};
