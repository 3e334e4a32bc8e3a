// Outputs written whole or not at all: the one way every program here
// replaces a file. A run that stops, fails or is killed leaves the earlier
// files as they were, and two runs never make a set of halves.
//
// - add() follows the output's name through its symbolic links (the link
//   stays a link: the file it leads to is replaced) and makes a private
//   temporary folder beside that file, on its file system:
//   .NAME.lorvantide-tmp, mode 0700 (for a name too long for that, its
//   beginning and a hash of the whole name stand for NAME), where the output
//   is written under its own name (a GDAL driver puts its own files beside it
//   there).
// - The folder is held with flock(2) on its lock file: the system releases
//   it however the process ends, so a run killed half-way never blocks the
//   next one, which finds the folder, takes it and empties it. A second
//   writer of the same output, in this process or another, is told it is in
//   use while the first holds it. A folder of another user is never taken
//   (foreign).
// - An output this program writes itself is created exclusively (create,
//   create_stream), and may be given its whole size at once (reserve).
//   Other processes may write into it by its path (JoinedTemporary).
//
// Putting a set in place (commit), step by step:
//   1. Every temporary is closed and synced, and given the replaced file's
//      permissions (and, where allowed, owner).
//   2. Each file a rename will replace is kept under a second name in the
//      temporary folder of its output (a hard link; a synced copy where the
//      file system has none).
//   3. The journal (commit_journal.hpp), every rename with the second name
//      of the file it replaces, is written whole into every temporary folder
//      of the set and synced with the folder, the first output's folder
//      last: from then on the first folder's journal counts.
//   4. The renames, in the order the outputs were added, as one step that no
//      signal a program can catch cuts (signal_cleanup.hpp). If one fails,
//      those made are undone, the last first: each earlier file is renamed
//      back over the new one, a file that replaced none goes back into its
//      folder. Nothing is then replaced (unplaced).
//   5. The folders renamed into are synced, then the first folder's journal
//      is removed and that folder synced; then the folders go.
//   A set of a single rename needs no journal: one rename is whole or not.
//
// Why a crash at any step leaves a whole set, the earlier or the new one
// (the process killed by a signal it cannot catch, or the system going down):
//   - Before step 3 ends, the first folder holds no journal and no rename
//     was made: the earlier files are in place. The next writer of an output
//     may find the journal of a member folder: its set's journal is gone, so
//     it is stale, and goes when the folder is emptied.
//   - During step 4 the journal counts. The next writer of any output of the
//     set (of any program: they all add their outputs here) finds a journal
//     in that output's folder before it starts; it holds every folder of the
//     set and undoes the renames made (restored), or, when all were made,
//     keeps the new set (completed); it syncs the folders it renamed in and
//     out of, and only then removes the journal, and tells the user
//     (recoveries()). Undoing may be repeated (an earlier file put back is
//     no longer kept aside; a file moved back is in its folder again), so a
//     crash during a recovery is recovered by the next writer.
//   - During step 5 every rename was made: a journal still there finds the
//     set wholly moved, which is kept.
//   - A system crash cannot lose the journal while a rename it covers stays:
//     the journal and the second names reached the disk before the first
//     rename, and the renames before the journal is removed.
//   - A catchable signal before step 4 removes the folders, journals
//     included, and no rename was made; one during step 4 waits for its end;
//     after it, every rename was made (or undone).
//   - A failing undo (a second failure after the one that stopped the
//     renames) leaves the set as it is with its journal, which no signal
//     removes any more (mixed): the next writer of any of its outputs makes
//     it whole.
//
// - What each failing call of commit() means (Result):
//     a write, fsync or close of a temporary, the second name of a replaced
//       file, the journal: nothing is replaced (unwritten);
//     chmod: nothing is replaced (unwritten): the new version would carry a
//       new file's permissions, which may let others read or change what the
//       earlier file kept from them;
//     chown: the output is replaced all the same, with the earlier file's
//       permissions, and listed in owner_changed: only root may give a file
//       to another user, so whoever may write someone else's file (through
//       its group, say) leaves the new version owned by himself and his
//       group. The programs tell the user; it is no failure;
//     a rename: nothing is replaced, the renames made are undone (unplaced);
//       if undoing fails too, the set stays mixed until its next writer
//       (mixed);
//     the fsync of a folder the outputs were renamed into: every output is
//       in place, but a crash of the system may still undo the renames
//       (unsynced); the programs report it as a failure;
//     the removal of the journal or of a temporary folder once done: not
//       reported; the next writer of that output finds the set wholly in
//       place, and takes the folder over and empties it.
// - A set not committed removes its folders when abandoned or destroyed,
//   and when a signal whose default action ends the process ends it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The file `path` leads to through its symbolic links; `path` itself when it
// is not a link or names nothing. False, with errno ELOOP, after 40 links.
bool follow_links(const std::string& path, std::string& resolved);

// True when `path`, followed through its symbolic links, is a regular file
// or names nothing yet: something an output may replace. A folder, a FIFO or
// a device is not.
bool replaceable(const std::string& path);

class AtomicOutputs {
public:
    enum class Kind {
        file,     // one file
        dataset,  // a file and whatever else a GDAL driver wrote beside it
    };
    enum class Claim {
        ok,
        exists,        // there is a file and it may not be replaced
        not_regular,   // there is something other than a regular file
        not_writable,  // the file there may not be written by this user
        twice,         // already an output of this set
        in_use,        // another writer holds it
        foreign,       // its temporary folder is there and belongs to another user (refused_folder())
        unrecovered,   // a set its writer left half in place could not be made whole (errno; refused_folder())
        failed,        // its temporary folder could not be made (errno says why; refused_folder())
    };
    // What add() found and did about a set of outputs a killed writer had
    // left half in place.
    struct Recovered {
        bool completed = false;            // the new set was wholly in place and is kept; else the earlier is back
        std::vector<std::string> outputs;  // the set's outputs (links followed)
    };

    AtomicOutputs() = default;
    ~AtomicOutputs();  // abandon() unless committed
    AtomicOutputs(const AtomicOutputs&) = delete;
    AtomicOutputs& operator=(const AtomicOutputs&) = delete;

    // Declares the next output; it is numbered size() - 1 when ok.
    // `describing` are the suffixes of files that describe the output from
    // beside it, named after it (the caller knows which): when it
    // replaces a file and its new version brings no such file, the earlier
    // one goes with the file it described (moved into the temporary folder
    // with the renames, and removed with it).
    Claim add(const std::string& target, Kind kind = Kind::file, bool replace_existing = true,
              std::vector<std::string> describing = {});

    // The temporary folder of the last refused claim.
    const std::string& refused_folder() const { return refused_folder_; }
    // The sets made whole by add(), for the program to tell.
    const std::vector<Recovered>& recoveries() const { return recoveries_; }

    std::size_t size() const { return outputs_.size(); }
    const std::string& target(std::size_t k) const { return outputs_[k].target; }
    // Where to write output k (its name inside its temporary folder).
    const std::string& temporary(std::size_t k) const { return outputs_[k].temporary; }

    // Creates output k's temporary, exclusively, for writing: a file
    // descriptor (kept, and closed by commit) or -1 with errno.
    int create(std::size_t k);
    // The same as a stdio stream ("wb" or "w"); nullptr with errno.
    std::FILE* create_stream(std::size_t k, const char* mode);
    std::FILE* stream(std::size_t k) const { return outputs_[k].stream; }
    int fd(std::size_t k) const { return outputs_[k].fd; }
    // Gives the created temporary `bytes` bytes on the disk now, so that a
    // disk too small is found before the work. False with errno.
    bool reserve(std::size_t k, uint64_t bytes);

    struct Result {
        enum class Status {
            done,       // every output replaced
            unwritten,  // nothing replaced: output k could not be completed (errno ENOENT: never written)
            unplaced,   // nothing replaced: output k could not be put in place, and the renames made were undone
            mixed,      // output k could not be put in place, nor the renames made undone: the set is mixed
                        // until its next writer makes it whole (its journal stays in `file`)
            unsynced,   // every output replaced, but the folder output k went into may not keep the rename
        };
        Status status = Status::done;
        std::size_t output = 0;
        int error = 0;
        // For unplaced: what could not be moved, the temporary of output k
        // (or one of its driver's files) or an earlier describing file of
        // it, beside it. For mixed: the folder of the journal. For unsynced:
        // the folder.
        std::string file;
        // Outputs replaced (done, unsynced) whose earlier file's owner could
        // not be kept: they are now this user's.
        std::vector<std::size_t> owner_changed;
    };
    // Puts every output in place; whatever the result, the set is then done
    // (its temporaries and locks gone).
    Result commit();
    // Removes the temporaries and releases the outputs now.
    void abandon();

private:
    struct Output {
        std::string target;     // as named
        std::string resolved;   // links followed
        std::string folder;     // the temporary folder beside `resolved`
        std::string temporary;  // folder/name
        Kind kind = Kind::file;
        std::vector<std::string> describing;
        bool existed = false;
        mode_t mode = 0;
        uid_t owner = 0;
        gid_t group = 0;
        int lock = -1;  // the folder's lock file, held
        int slot = -1;  // its signal_cleanup slot
        int fd = -1;
        std::FILE* stream = nullptr;
    };
    struct Move {
        std::string from;
        std::string to;
        std::size_t output;
    };
    Claim take(Output& output);
    // Closes output k's temporary, gives it the earlier file's permissions
    // and owner, and lists its renames; false with errno when it cannot
    // replace its file.
    bool prepare(std::size_t k, std::vector<Move>& moves, Result& result);
    void release(Output& output);
    // Commit's renames, journaled when more than one: the Result.
    Result place(const std::vector<Move>& moves, Result result);
    std::vector<Output> outputs_;
    std::string refused_folder_;
    std::vector<Recovered> recoveries_;
};

// A temporary another process created and is writing, opened for writing by
// its path (the processes of one run share its folder). It is unlinked if a
// signal ends this process, and otherwise left to its owner.
class JoinedTemporary {
public:
    JoinedTemporary() = default;
    ~JoinedTemporary();
    JoinedTemporary(const JoinedTemporary&) = delete;
    JoinedTemporary& operator=(const JoinedTemporary&) = delete;

    // False with errno when it cannot be opened.
    bool open(const std::string& path);
    int fd() const { return fd_; }
    // Makes sure what this process wrote reached the disk, and closes it.
    // False with errno when a write was lost.
    bool close();

private:
    int fd_ = -1;
    int slot_ = -1;
};
