// A raster pair (raw file and descriptor) written beside its files and put in
// their place only once complete: a run that stops, fails or is killed leaves
// the earlier pair as it was, and two runs never make a pair of halves.
//
// - start() follows each name through its symbolic links (the link stays a
//   link: the file it leads to is replaced), takes the pair's lock, and
//   creates both temporaries exclusively beside the files they will replace,
//   with the permissions (and, where allowed, the owner) of an earlier file.
// - The lock is a flock(2) on a lock file beside the raster: the system
//   releases it however the process ends, so a run killed half-way never
//   blocks the next one, which removes the temporaries it left. A second
//   writer of the same pair, while the first holds it, is told it is in use.
// - commit() makes sure everything written reached the disk, then renames
//   the raster's temporary, then the descriptor's, over their files.
// - A pair not committed removes its temporaries when it ends, and when
//   SIGINT, SIGTERM or SIGHUP ends the process (signal_cleanup.hpp).
//
// The files are, beside each resolved file NAME: .NAME.lorvantide-tmp (the
// temporary) and, for the raster, .NAME.lorvantide-lock.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

// True when `path`, followed through its symbolic links, is a regular file or
// names nothing yet: something a pair may be written over. A folder, a FIFO
// or a device is not.
bool replaceable_by_pair(const std::string& path);

class AtomicPair {
public:
    enum class Start {
        ok,
        in_use,         // another writer holds the pair
        raw_failed,     // the raster's lock or temporary could not be created
        descriptor_failed,
    };
    // Starts writing the pair named `raw_path` and `descriptor_path`; `pair`
    // holds it when the result is ok.
    static Start start(const std::string& raw_path, const std::string& descriptor_path,
                       std::unique_ptr<AtomicPair>& pair);

    ~AtomicPair();
    AtomicPair(const AtomicPair&) = delete;
    AtomicPair& operator=(const AtomicPair&) = delete;

    // The temporaries' streams, binary for the raster and text for the descriptor.
    std::FILE* raw() const { return raw_.stream; }
    std::FILE* descriptor() const { return descriptor_.stream; }

    enum class Commit {
        done,              // both files replaced
        raw_lost,          // nothing replaced: the raster's temporary could not be completed or renamed
        descriptor_lost,   // nothing replaced: the same for the descriptor's
        descriptor_stale,  // the raster was replaced, its descriptor could not be
    };
    Commit commit();

private:
    struct Part {
        std::string target;     // the file to replace, links followed
        std::string temporary;  // beside it
        std::FILE* stream = nullptr;
        int slot = -1;          // its signal_cleanup slot
    };
    AtomicPair() = default;
    bool lock(const std::string& raw_target);
    bool create(Part& part, const std::string& target, const char* mode);
    void release_lock();

    Part raw_;
    Part descriptor_;
    std::string lock_path_;
    int lock_fd_ = -1;
    int lock_slot_ = -1;
};
