#include "windows/tile_loop.hpp"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "windows/tile_protocol.hpp"

namespace {

// A tile's share done, as its computation reports it.
class ShareProgress final : public ChannelProgress {
public:
    void share_done(double share) override { share_.store(share, std::memory_order_relaxed); }
    double share() const { return share_.load(std::memory_order_relaxed); }
    void start() { share_.store(0.0, std::memory_order_relaxed); }

private:
    std::atomic<double> share_{0.0};
};

// Where this process's threads take their tiles.
struct Dispenser {
    Dispenser(int64_t tiles, bool holds_counter) : count(tiles), local(holds_counter) {}

    const int64_t count;
    const bool local;                  // rank 0 (or a lone process): the counter is here
    std::atomic<int64_t> next{0};      // rank 0: the next tile to hand out
    std::atomic<bool> stopped{false};  // a failure: hand out nothing more

    // Other ranks: tiles granted by rank 0, waiting for a thread.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int64_t> granted;
    int wanting = 0;         // threads waiting for a tile
    bool exhausted = false;  // rank 0 has no more

    // Rank 0: the next tile, to its own threads or to another process; none
    // once all are handed out or after a failure.
    std::optional<int64_t> hand_out() {
        if (stopped.load()) return std::nullopt;
        const int64_t k = next.fetch_add(1);
        if (k < count) return k;
        return std::nullopt;
    }

    std::optional<int64_t> take() {
        if (local) return hand_out();
        std::unique_lock<std::mutex> lock(mutex);
        ++wanting;
        changed.wait(lock, [this] { return !granted.empty() || exhausted || stopped.load(); });
        --wanting;
        if (granted.empty()) return std::nullopt;
        const int64_t k = granted.front();
        granted.pop_front();
        return k;
    }

    void stop() {
        const std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
        changed.notify_all();
    }

    // Other ranks, under the mutex: rank 0's grant to the waiting threads.
    void receive(int64_t tile) {
        if (tile == kNoTile) exhausted = true;
        else granted.push_back(tile);
        changed.notify_all();
    }
    // Other ranks, under the mutex: more threads wait than tiles are granted.
    bool wants_more() const {
        return !exhausted && !stopped.load() && wanting > static_cast<int>(granted.size());
    }
};

// The threads of this process: each takes tiles from the dispenser and
// computes them until none is left. The first failure stops the handing out.
class Workers {
public:
    Workers(int32_t count, Dispenser& dispenser, const TileWork& work)
        : dispenser_(dispenser), work_(work), running_(count) {
        for (int32_t w = 0; w < count; ++w) shares_.push_back(std::make_unique<ShareProgress>());
        for (const auto& share : shares_) threads_.emplace_back([this, &share] { run(*share); });
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;
    ~Workers() { join(); }

    bool done() const { return running_.load() == 0; }
    int64_t finished() const { return finished_.load(); }
    // `tiles` plus the shares done of the tiles under way.
    double plus_shares(double tiles) const {
        for (const auto& share : shares_) tiles += share->share();
        return tiles;
    }
    // Waits for the threads; what this process's tiles gave.
    const LoopResult& join() {
        for (std::thread& thread : threads_)
            if (thread.joinable()) thread.join();
        return result_;
    }

private:
    void run(ShareProgress& share) {
        TileScratch scratch;  // given back when the thread has no more tiles
        while (const std::optional<int64_t> k = dispenser_.take()) {
            share.start();
            try {
                const CoreTotals totals = work_(*k, share, scratch);
                const std::lock_guard<std::mutex> lock(results_);
                result_.totals.fold(totals);
            } catch (const std::bad_alloc&) {
                fail("No hay memoria para la ventana de la tesela " + std::to_string(*k));
            } catch (const std::exception& error) {
                fail(error.what());
            }
            share.start();
            ++finished_;
        }
        --running_;
    }

    void fail(const std::string& message) {
        {
            const std::lock_guard<std::mutex> lock(results_);
            if (result_.ok) result_.error = message;
            result_.ok = false;
        }
        dispenser_.stop();
    }

    Dispenser& dispenser_;
    const TileWork& work_;
    std::vector<std::unique_ptr<ShareProgress>> shares_;
    std::atomic<int64_t> finished_{0};
    std::atomic<int32_t> running_;
    std::mutex results_;
    LoopResult result_;
    std::vector<std::thread> threads_;
};

// Rank 0 (or a lone process): serves the other processes' reports and draws
// the progress until its threads have ended and every other process has said
// done.
LoopResult serve_tiles(Processes& processes, Dispenser& dispenser, Workers& workers, ProgressLine& progress,
                       double from, double to) {
    TileDesk desk(processes);
    const auto draw = [&] {
        if (dispenser.count == 0) return;
        const double done = workers.plus_shares(static_cast<double>(workers.finished()) +
                                                static_cast<double>(desk.finished_elsewhere()));
        progress.update(done / static_cast<double>(dispenser.count), from, to);  // 100 only once the result is in place
    };
    Backoff backoff;
    for (;;) {
        const bool workers_done = workers.done();
        const bool busy = desk.serve([&] { return dispenser.hand_out(); }, [&] { dispenser.stopped = true; });
        if (workers_done && desk.all_done()) break;
        draw();
        if (busy) backoff.reset();
        else backoff.pause();
    }
    const LoopResult result = workers.join();
    processes.stop_listening();
    draw();
    return result;
}

// Another process: asks rank 0 for the tiles its threads want, hands them the
// grants and reports its finished tiles, until its threads have ended.
LoopResult request_tiles(Processes& processes, Dispenser& dispenser, Workers& workers) {
    TileRequester requester(processes);
    Backoff backoff;
    for (;;) {
        const bool workers_done = workers.done();
        std::unique_lock<std::mutex> lock(dispenser.mutex);
        const std::optional<int64_t> grant = requester.grant();
        if (grant) dispenser.receive(*grant);
        const bool want = dispenser.wants_more();
        lock.unlock();
        const bool sent = requester.report(dispenser.stopped.load(), want, workers.finished());
        if (workers_done && !requester.asking()) {
            requester.done(workers.finished());
            break;
        }
        if (grant || sent) backoff.reset();
        else backoff.pause();
    }
    return workers.join();
}

}  // namespace

LoopResult share_tiles(Processes& processes, int64_t count, int32_t workers, const TileWork& work,
                       ProgressLine& progress, double from, double to) {
    Dispenser dispenser(count, processes.first());
    Workers threads(workers, dispenser, work);
    return processes.first() ? serve_tiles(processes, dispenser, threads, progress, from, to)
                             : request_tiles(processes, dispenser, threads);
}
