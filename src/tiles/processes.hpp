// The processes of one run: this one alone, or, in a build with MPI started
// by mpirun (or another MPI launcher), every rank of MPI_COMM_WORLD. Only the
// thread that made this object calls MPI. Waits are polls with short sleeps,
// so a process that waits leaves its processor to those that compute.
#pragma once

#include <cstdint>
#include <string>

#include "tiles/tiled_run.hpp"

class Processes {
public:
    // Joins MPI when the program was started by an MPI launcher.
    Processes(int& argc, char**& argv);
    ~Processes();
    Processes(const Processes&) = delete;
    Processes& operator=(const Processes&) = delete;

    int rank() const { return rank_; }
    int size() const { return size_; }
    bool first() const { return rank_ == 0; }
    // Processes of this run on this machine (this one included).
    int on_this_machine() const { return local_; }

    // Collectives: every process calls them in the same order.
    bool all(bool ok);                                  // true when ok on every process
    bool first_says(bool ok);                           // rank 0's flag, on every process
    std::string from_first(const std::string& text);    // rank 0's text, on every process
    CoreTotals gather(const CoreTotals& mine);          // the fold of all, on rank 0
    void wait_for_all();                                // a barrier

    // Messages of the tile loop (tile_loop.cpp). A message is three integers.
    void send_to_first(const int64_t message[3]);
    // Rank 0: a message from another process, if one has come; its sender in `from`.
    bool received(int64_t message[3], int& from);
    void grant(int to, int64_t tile);
    // Other ranks: asks for a grant, then polls for it.
    void await_grant();
    bool granted(int64_t& tile);
    // Rank 0: stops listening (every other process has said its last word).
    void stop_listening();

private:
    int rank_ = 0;
    int size_ = 1;
    int local_ = 1;
    bool joined_ = false;
    struct Pending;
    Pending* pending_ = nullptr;
};

// Sleeps a little longer each time nothing happened, up to a couple of
// milliseconds; reset() when something did.
class Backoff {
public:
    void pause();
    void reset() { micros_ = 50; }

private:
    int micros_ = 50;
};
