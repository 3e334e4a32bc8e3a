// How the processes of an MPI run share the tiles (tile_loop.hpp): the
// messages, and the two sides that send and serve them over the
// point-to-point calls of processes.hpp.
//
// Rank 0 holds the tile counter. Every other process talks to rank 0 only,
// in reports, each with the count of tiles its threads have finished so far
// (rank 0's progress adds them up):
//
//   want_tile       its threads wait for a tile. Rank 0 answers this report,
//                   and no other, with one grant: the next tile, or kNoTile
//                   once every tile is handed out or after a failure;
//   finished_tiles  its count of finished tiles changed;
//   failed          a tile failed there: rank 0 hands out nothing more;
//   done            its last message: its threads have ended and no grant is
//                   awaited.
//
// Why it is safe:
// - A process asks again only once its grant has come, so at most one
//   want_tile of each process is unanswered: a grant always answers the
//   request pending, and grants never queue.
// - Rank 0 keeps one receive posted and polls it until every other process
//   has said done, so every report is received (and a send of these small
//   messages never waits for long). A process says done only with no grant
//   pending, so every grant is received. MPI keeps the order of one
//   sender's messages on one tag, so done is the last of its reports to
//   arrive: when the loop ends nothing is in flight, and rank 0 cancels its
//   last posted receive (Processes::stop_listening).
// - Every tile is handed out once, by one atomic counter on rank 0, to its
//   own threads and to the grants alike; after a failure, to nobody.
// - No side blocks on the other: each polls and sleeps a little between
//   polls (Backoff), so a process that waits leaves its processor to those
//   that compute.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "windows/processes.hpp"

inline constexpr int64_t kNoTile = -1;

struct TileReport {
    enum class Kind : int64_t { want_tile, finished_tiles, failed, done };
    Kind kind = Kind::finished_tiles;
    int64_t finished = 0;  // tiles the sender's threads have finished so far
};

// Rank 0's side.
class TileDesk {
public:
    explicit TileDesk(Processes& processes);

    // Serves every report that has come: a want_tile gets the tile of
    // `hand_out` (kNoTile when it has none), a failure calls `stop`. True
    // when any report came.
    bool serve(const std::function<std::optional<int64_t>()>& hand_out, const std::function<void()>& stop);
    // Every other process has said done.
    bool all_done() const { return done_ == processes_.size() - 1; }
    // The tiles the other processes have finished, by their latest reports.
    int64_t finished_elsewhere() const;

private:
    Processes& processes_;
    std::vector<int64_t> finished_by_;  // by rank
    int done_ = 0;
};

// The side of every other process.
class TileRequester {
public:
    explicit TileRequester(Processes& processes) : processes_(processes) {}

    // The grant that answers this process's want_tile, once it has come.
    std::optional<int64_t> grant();
    // A want_tile is unanswered.
    bool asking() const { return asking_; }
    // Tells rank 0 what changed: a failure (once), a tile wanted (not while
    // one is asked for) or else a new count of finished tiles. True when a
    // report was sent.
    bool report(bool failed, bool want_tile, int64_t finished);
    // The last report; only when no grant is awaited.
    void done(int64_t finished);

private:
    void send(TileReport::Kind kind, int64_t finished);

    Processes& processes_;
    bool asking_ = false;
    bool failure_told_ = false;
    int64_t reported_ = 0;  // the count of the latest report
};
