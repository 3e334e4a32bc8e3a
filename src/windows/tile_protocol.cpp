#include "windows/tile_protocol.hpp"

#include <numeric>

TileDesk::TileDesk(Processes& processes)
    : processes_(processes), finished_by_(static_cast<std::size_t>(processes.size()), 0) {}

bool TileDesk::serve(const std::function<std::optional<int64_t>()>& hand_out, const std::function<void()>& stop) {
    bool any = false;
    Processes::Message message{};
    int from = 0;
    while (!all_done() && processes_.received(message, from)) {
        any = true;
        const TileReport report{static_cast<TileReport::Kind>(message[0]), message[1]};
        finished_by_[static_cast<std::size_t>(from)] = report.finished;
        switch (report.kind) {
            case TileReport::Kind::want_tile:
                processes_.answer(from, hand_out().value_or(kNoTile));
                break;
            case TileReport::Kind::failed:
                stop();
                break;
            case TileReport::Kind::done:
                ++done_;
                break;
            case TileReport::Kind::finished_tiles:
                break;
        }
    }
    return any;
}

int64_t TileDesk::finished_elsewhere() const {
    return std::accumulate(finished_by_.begin(), finished_by_.end(), int64_t{0});
}

std::optional<int64_t> TileRequester::grant() {
    int64_t tile = kNoTile;
    if (!asking_ || !processes_.answered(tile)) return std::nullopt;
    asking_ = false;
    return tile;
}

bool TileRequester::report(bool failed, bool want_tile, int64_t finished) {
    bool sent = false;
    if (failed && !failure_told_) {
        send(TileReport::Kind::failed, finished);
        failure_told_ = true;
        sent = true;
    }
    if (want_tile && !asking_) {
        send(TileReport::Kind::want_tile, finished);
        processes_.await_answer();
        asking_ = true;
        sent = true;
    } else if (finished != reported_) {
        send(TileReport::Kind::finished_tiles, finished);
        sent = true;
    }
    return sent;
}

void TileRequester::done(int64_t finished) { send(TileReport::Kind::done, finished); }

void TileRequester::send(TileReport::Kind kind, int64_t finished) {
    processes_.send_to_first({static_cast<int64_t>(kind), finished});
    reported_ = finished;
}
