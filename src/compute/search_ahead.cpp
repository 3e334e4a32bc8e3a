#include "compute/search_ahead.hpp"

#include <algorithm>

SearchAhead::SearchAhead(const DistanceInterpolation& interpolation, const std::vector<SearchCentre>& centres)
    : interpolation_(interpolation),
      centres_(centres),
      runs_(static_cast<int64_t>((centres.size() + kRun - 1) / kRun)),
      slots_(std::min(kSlots, static_cast<std::size_t>(runs_))),
      results_(new SearchPair[slots_ * kRun]),
      published_(new std::atomic<int64_t>[slots_]) {
    for (std::size_t s = 0; s < slots_; ++s) published_[s].store(-1, std::memory_order_relaxed);
}

int64_t SearchAhead::take_run() {
    // A slot is free once the calling thread is past the run it held.
    if (stopped_ || next_run_ >= runs_ || next_run_ >= std::max<int64_t>(current_, 0) + static_cast<int64_t>(slots_))
        return -1;
    return next_run_++;
}

void SearchAhead::search_run(int64_t run) {
    const std::size_t first = static_cast<std::size_t>(run) * kRun;
    const std::size_t count = std::min(kRun, centres_.size() - first);
    const std::size_t slot = static_cast<std::size_t>(run) % slots_;
    interpolation_.search(centres_.data() + first, count, results_.get() + slot * kRun);
    published_[slot].store(run, std::memory_order_release);
    {
        const std::lock_guard<std::mutex> held(lock_);  // no waiter misses the news
    }
    changed_.notify_all();
}

const SearchPair& SearchAhead::result(std::size_t k) {
    const auto run = static_cast<int64_t>(k / kRun);
    const std::size_t slot = static_cast<std::size_t>(run) % slots_;
    if (run != current_) {
        {
            const std::lock_guard<std::mutex> held(lock_);
            current_ = run;  // the runs before it are handed back
        }
        changed_.notify_all();
    }
    while (published_[slot].load(std::memory_order_acquire) != run) {
        std::unique_lock<std::mutex> held(lock_);
        if (published_[slot].load(std::memory_order_acquire) == run) break;
        const int64_t taken = take_run();
        if (taken >= 0) {
            held.unlock();
            search_run(taken);
            continue;
        }
        changed_.wait(held);
    }
    return results_[slot * kRun + k % kRun];
}

void SearchAhead::help() {
    for (;;) {
        int64_t run = -1;
        {
            std::unique_lock<std::mutex> held(lock_);
            while ((run = take_run()) < 0) {
                if (stopped_ || next_run_ >= runs_) return;
                changed_.wait(held);
            }
        }
        search_run(run);
    }
}

void SearchAhead::stop() {
    {
        const std::lock_guard<std::mutex> held(lock_);
        stopped_ = true;
    }
    changed_.notify_all();
}
