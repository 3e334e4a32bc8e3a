// The processes of one run: this one alone, or, in a build with MPI started
// by mpirun (or another MPI launcher), every rank of MPI_COMM_WORLD. Only the
// thread that made this object calls MPI. Waits are polls with short sleeps,
// so a process that waits leaves its processor to those that compute.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "windows/window_io.hpp"

class Processes {
public:
    // Joins MPI when the program was started by an MPI launcher.
    Processes(int& argc, char**& argv);
    // This process alone, whatever launched it.
    Processes() = default;
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

    // Point-to-point messages, for the tile loop's protocol (tile_protocol.hpp
    // says what they mean): two integers to rank 0, one integer back.
    using Message = std::array<int64_t, 2>;
    void send_to_first(const Message& message);
    // Rank 0: a message from another process, if one has come; its sender in `from`.
    bool received(Message& message, int& from);
    void answer(int to, int64_t value);
    // Other ranks: posts the receive of rank 0's answer, then polls for it.
    void await_answer();
    bool answered(int64_t& value);
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
