// The journal of a set of outputs being put in place (atomic_outputs.hpp,
// where the protocol and why it is safe are told): what each rename of the
// set moves, and where the file it replaces is kept meanwhile, written into
// every temporary folder of the set before the first rename; undoing the
// renames made; and, for the next writer of any output of a set whose writer
// was killed between its renames, making the set whole again.
//
// The journal is a file `.journal` of NUL-separated fields (no path holds a
// NUL): a header line, the set's number, its folders, its outputs, then each
// move as from, to and earlier, and an end mark. It is written under another
// name, synced and renamed, so it is there whole or not at all; one without
// its end mark is not taken for one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* kJournalName = ".journal";

struct JournalMove {
    std::string from;     // where the file is before the rename
    std::string to;       // where the rename puts it
    std::string earlier;  // a link to the file `to` held before (in a temporary folder); empty when it held none
};

struct Journal {
    uint64_t set = 0;                  // tells one set from another
    std::vector<std::string> folders;  // the set's temporary folders: the first holds the journal that counts
    std::vector<std::string> outputs;  // the set's outputs, for messages
    std::vector<JournalMove> moves;    // in the order they are made
};

// A new set's number, unlike any other's.
uint64_t new_set_number();

// Writes `journal` as `folder`/.journal, whole or not at all, and makes sure
// it, and every entry made in `folder` before, reached the disk. False with
// errno.
bool write_journal(const std::string& folder, const Journal& journal);

// Reads `folder`/.journal; false when there is none, or none whole.
bool read_journal(const std::string& folder, Journal& journal);

// Makes `earlier` a second name of the file `to` (a hard link); where the
// file system has none, a copy, synced, with the file's permissions. False
// with errno.
bool keep_earlier(const std::string& to, const std::string& earlier);

// True when every move was made and none undone.
bool all_moved(const std::vector<JournalMove>& moves);

// Undoes the first `count` moves, the last first, whichever were made: a new
// file goes back where it came from, and an earlier file back in its place.
// Each undoing may be repeated: what was undone stays so. Calls nothing but
// system calls, allocates nothing. True when every one was undone.
bool undo_moves(const JournalMove* moves, std::size_t count);

// Makes sure the folders the moves renamed into and out of keep the renames.
// False with errno when one did not.
bool sync_moved_folders(const std::vector<JournalMove>& moves);

// What the next writer of an output found and did.
struct Recovery {
    enum class Status {
        none,       // no set left half in place here
        restored,   // a set was half in place: every file the killed writer had replaced is back
        completed,  // the set was wholly in place: it is kept
        busy,       // another process holds a folder of the set
        failed,     // the set could not be made whole (errno; the journal stays)
    };
    Status status = Status::none;
    std::vector<std::string> outputs;  // the set's
    std::string folder;                // for failed: the folder of the journal
    int error = 0;
};

// Looks for a journal in the temporary folder `folder` (this user's) and, if
// a set was left half in place, makes it whole, holding every folder of the
// set; then removes the set's folders. Stale journals are left for the
// folder's next owner to empty.
Recovery recover_set(const std::string& folder);
