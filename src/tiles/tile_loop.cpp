#include "tiles/tile_loop.hpp"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "tiles/tiles_error.hpp"

namespace {

enum Kind : int64_t { kWant, kFinishedTiles, kFailed, kDone };

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
    int64_t count = 0;
    bool local = true;                // rank 0 (or a lone process): the counter is here
    std::atomic<int64_t> next{0};     // rank 0: the next tile to hand out
    std::atomic<bool> stopped{false}; // a failure: hand out nothing more

    // Other ranks: tiles granted by rank 0, waiting for a thread.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int64_t> granted;
    int wanting = 0;          // threads waiting for a tile
    bool exhausted = false;   // rank 0 has no more

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
};

}  // namespace

LoopResult share_tiles(Processes& processes, int64_t count, int32_t workers, const TileWork& work,
                       ProgressLine& progress) {
    LoopResult result;
    Dispenser dispenser;
    dispenser.count = count;
    dispenser.local = processes.first();
    std::atomic<int64_t> finished{0};
    std::atomic<int32_t> running{workers};
    std::mutex results;
    std::vector<std::unique_ptr<ShareProgress>> shares;
    for (int32_t w = 0; w < workers; ++w) shares.push_back(std::make_unique<ShareProgress>());

    auto fail = [&](const std::string& message) {
        {
            const std::lock_guard<std::mutex> lock(results);
            if (result.ok) result.error = message;
            result.ok = false;
        }
        const std::lock_guard<std::mutex> lock(dispenser.mutex);
        dispenser.stopped = true;
        dispenser.changed.notify_all();
    };
    auto worker = [&](int32_t w) {
        ShareProgress& share = *shares[static_cast<std::size_t>(w)];
        TileScratch scratch;  // given back when the thread has no more tiles
        while (const std::optional<int64_t> k = dispenser.take()) {
            share.start();
            try {
                const CoreTotals totals = work(*k, share, scratch);
                const std::lock_guard<std::mutex> lock(results);
                result.totals.fold(totals);
            } catch (const std::bad_alloc&) {
                fail("No hay memoria para la ventana de la tesela " + std::to_string(*k));
            } catch (const std::exception& error) {
                fail(error.what());
            }
            share.start();
            ++finished;
        }
        --running;
    };
    std::vector<std::thread> threads;
    for (int32_t w = 0; w < workers; ++w) threads.emplace_back(worker, w);

    // This thread serves the messages of the loop and draws the progress.
    const int others = processes.size() - 1;
    std::vector<int64_t> finished_by(static_cast<std::size_t>(processes.size()), 0);
    int others_done = 0;
    bool asking = false;
    int64_t reported = 0;
    bool failure_told = false;
    Backoff backoff;
    auto draw = [&] {
        if (!processes.first() || count == 0) return;
        double done = static_cast<double>(finished.load());
        for (const int64_t n : finished_by) done += static_cast<double>(n);
        for (const auto& share : shares) done += share->share();
        progress.update(done / static_cast<double>(count) * 0.999);  // 100 only once the result is in place
    };
    for (;;) {
        const bool workers_done = running.load() == 0;
        bool busy = false;
        if (processes.first()) {
            int64_t message[3];
            int from = 0;
            while (others_done < others && processes.received(message, from)) {
                busy = true;
                finished_by[static_cast<std::size_t>(from)] = message[1];
                if (message[0] == kWant) {
                    processes.grant(from, dispenser.hand_out().value_or(-1));
                } else if (message[0] == kFailed) {
                    dispenser.stopped = true;
                } else if (message[0] == kDone) {
                    ++others_done;
                }
            }
            if (workers_done && others_done == others) break;
        } else {
            std::unique_lock<std::mutex> lock(dispenser.mutex);
            if (asking) {
                int64_t k = -1;
                if (processes.granted(k)) {
                    busy = true;
                    asking = false;
                    if (k < 0) dispenser.exhausted = true;
                    else dispenser.granted.push_back(k);
                    dispenser.changed.notify_all();
                }
            }
            const bool want = !asking && !dispenser.exhausted && !dispenser.stopped.load() &&
                              dispenser.wanting > static_cast<int>(dispenser.granted.size());
            lock.unlock();
            const int64_t now = finished.load();
            if (dispenser.stopped.load() && !failure_told) {
                const int64_t message[3] = {kFailed, now, 0};
                processes.send_to_first(message);
                failure_told = true;
                busy = true;
            }
            if (want) {
                const int64_t message[3] = {kWant, now, 0};
                processes.send_to_first(message);
                processes.await_grant();
                asking = true;
                reported = now;
                busy = true;
            } else if (now != reported) {
                const int64_t message[3] = {kFinishedTiles, now, 0};
                processes.send_to_first(message);
                reported = now;
                busy = true;
            }
            if (workers_done && !asking) {
                const int64_t message[3] = {kDone, finished.load(), 0};
                processes.send_to_first(message);
                break;
            }
        }
        draw();
        if (busy) backoff.reset();
        else backoff.pause();
    }
    for (std::thread& thread : threads) thread.join();
    if (processes.first()) processes.stop_listening();
    draw();
    return result;
}
