// The result pair is never written in place: a temporary raw file and a
// temporary descriptor are made beside it (same folder, so the renames stay
// on one file system), the raster is written into the temporary, and only
// once everything was written are they renamed over the result, the raster
// first, then the descriptor, which thus never describes an unfinished
// raster. On failure, and on SIGINT, SIGTERM or SIGHUP, the temporaries are
// removed and the previous result, if any, stays as it was; a signal that
// comes while the renames are under way completes them instead.
#pragma once

#include <cstdint>
#include <string>

#include "raster_pair.hpp"

class PendingResult {
public:
    // Creates both temporaries beside `result` (mode 0666 less the umask, as
    // a new result would get) and sizes the raw one to `raw_bytes`.
    // TilesError, with nothing left behind, when they cannot be made.
    static PendingResult create(const PairPaths& result, uint64_t raw_bytes);
    // Opens, for writing, the temporary raster another process created
    // (the processes of one run share the same folder). It removes nothing
    // by itself except on a signal.
    static PendingResult join(const PairPaths& result, const std::string& raw_temporary);

    PendingResult(PendingResult&& other) noexcept;
    PendingResult& operator=(PendingResult&&) = delete;
    PendingResult(const PendingResult&) = delete;
    PendingResult& operator=(const PendingResult&) = delete;
    // Removes the temporaries unless committed (only those this process created).
    ~PendingResult();

    int raw_fd() const { return raw_fd_; }
    const std::string& raw_temporary() const { return raw_temporary_; }
    const PairPaths& result() const { return result_; }

    // Closes the temporary raster (a process that joined calls this when its
    // part is written). TilesError when the close reports a lost write.
    void close_raw();
    // Writes the six-integer descriptor into its temporary, closes everything
    // and renames both over the result. TilesError (temporaries removed)
    // when any of it fails.
    void commit(const int32_t descriptor[6]);
    // Removes the temporaries now.
    void abandon();

private:
    PendingResult() = default;

    PairPaths result_;
    std::string raw_temporary_;
    std::string descriptor_temporary_;
    int raw_fd_ = -1;
    int descriptor_fd_ = -1;
    int raw_slot_ = -1;         // what a signal does with each temporary (pending_result.cpp)
    int descriptor_slot_ = -1;
    bool owner_ = false;
    bool done_ = false;
};

// Installs the handlers that remove every live temporary on SIGINT, SIGTERM
// and SIGHUP before the process ends by that signal as it would have.
void remove_temporaries_on_signals();
