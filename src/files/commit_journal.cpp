#include "files/commit_journal.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "files/signal_cleanup.hpp"

namespace {

constexpr const char* kHeader = "lorvantide journal 1";
constexpr const char* kEndMark = "end";
constexpr const char* kJournalBeingWritten = ".journal.new";
constexpr std::size_t kLargestJournal = std::size_t{1} << 24;

std::string parent_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool sync_folder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return synced;
}

bool write_all(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

// Closes `fd`, keeping the errno of what failed before.
bool close_after(int fd, bool ok) {
    const int error = errno;
    const bool closed = close(fd) == 0;
    if (!ok) errno = error;
    return ok && closed;
}

bool gone(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) != 0 && errno == ENOENT;
}

// Holds the lock of the temporary folder `folder`: its descriptor, or -1
// with errno (ENOENT: no such folder; EWOULDBLOCK: another holds it).
int hold_folder(const std::string& folder) {
    struct stat owner {};
    if (lstat(folder.c_str(), &owner) != 0) return -1;
    if (!S_ISDIR(owner.st_mode) || owner.st_uid != geteuid()) {
        errno = EACCES;
        return -1;
    }
    const std::string lock_path = folder + "/" + kFolderLock;
    const int lock = open(lock_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0) return -1;
    struct stat held {};
    struct stat named {};
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        close_after(lock, false);
        return -1;
    }
    if (fstat(lock, &held) != 0 || lstat(lock_path.c_str(), &named) != 0 || held.st_ino != named.st_ino ||
        held.st_dev != named.st_dev) {
        // Removed by the one that held it: not to be had now.
        close(lock);
        errno = EWOULDBLOCK;
        return -1;
    }
    return lock;
}

void release_all(std::vector<int>& locks) {
    for (const int lock : locks) close(lock);
    locks.clear();
}

}  // namespace

uint64_t new_set_number() {
    uint64_t number = 0;
    if (getrandom(&number, sizeof number, GRND_NONBLOCK) == sizeof number) return number;
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<uint64_t>(now.tv_sec) << 32) ^ static_cast<uint64_t>(now.tv_nsec) ^
           (static_cast<uint64_t>(getpid()) << 20);
}

bool write_journal(const std::string& folder, const Journal& journal) {
    std::string bytes;
    const auto field = [&bytes](const std::string& text) {
        bytes += text;
        bytes += '\0';
    };
    const auto list = [&](const std::vector<std::string>& texts) {
        field(std::to_string(texts.size()));
        for (const std::string& text : texts) field(text);
    };
    field(kHeader);
    field(std::to_string(journal.set));
    list(journal.folders);
    list(journal.outputs);
    field(std::to_string(journal.moves.size()));
    for (const JournalMove& move : journal.moves) {
        field(move.from);
        field(move.to);
        field(move.earlier);
    }
    field(kEndMark);

    const std::string next = folder + "/" + kJournalBeingWritten;
    const int fd = open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (!close_after(fd, write_all(fd, bytes.data(), bytes.size()) && fsync(fd) == 0)) return false;
    return rename(next.c_str(), (folder + "/" + kJournalName).c_str()) == 0 && sync_folder(folder);
}

bool read_journal(const std::string& folder, Journal& journal) {
    const std::string path = folder + "/" + kJournalName;
    struct stat there {};
    if (lstat(path.c_str(), &there) != 0) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    std::string bytes;
    char buffer[8192];
    ssize_t got = 0;
    while (bytes.size() < kLargestJournal && (got = read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(got));
    close_after(fd, got >= 0);
    if (got < 0) return false;
    errno = EINVAL;  // from here on: not whole

    std::vector<std::string> fields;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find('\0', start);
        if (end == std::string::npos) return false;
        fields.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    std::size_t at = 0;
    const auto next = [&](std::string& text) {
        if (at >= fields.size()) return false;
        text = fields[at++];
        return true;
    };
    const auto count = [&](std::size_t& value) {
        std::string text;
        if (!next(text) || text.empty() || text.size() > 9 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        value = std::strtoul(text.c_str(), nullptr, 10);
        return value <= fields.size();
    };
    const auto list = [&](std::vector<std::string>& texts) {
        std::size_t n = 0;
        if (!count(n)) return false;
        texts.assign(n, std::string());
        for (std::string& text : texts)
            if (!next(text)) return false;
        return true;
    };
    std::string header;
    std::string set;
    std::size_t moves = 0;
    if (!next(header) || header != kHeader || !next(set) || set.empty() || !list(journal.folders) ||
        !list(journal.outputs) || !count(moves))
        return false;
    journal.set = std::strtoull(set.c_str(), nullptr, 10);
    journal.moves.assign(moves, JournalMove{});
    for (JournalMove& move : journal.moves)
        if (!next(move.from) || !next(move.to) || !next(move.earlier)) return false;
    std::string end;
    if (!next(end) || end != kEndMark || at != fields.size() || journal.folders.empty()) return false;
    errno = 0;
    return true;
}

bool keep_earlier(const std::string& to, const std::string& earlier) {
    if (link(to.c_str(), earlier.c_str()) == 0) return true;
    // No second name to be had there (a file system without them, or a file
    // of another user where the system forbids them): a copy.
    if (errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP && errno != ENOSYS && errno != EXDEV) return false;
    const int in = open(to.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat info {};
    const int out = fstat(in, &info) == 0 ? open(earlier.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600) : -1;
    if (out < 0) return close_after(in, false);
    bool copied = true;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        if (!write_all(out, buffer, static_cast<std::size_t>(got))) {
            copied = false;
            break;
        }
    }
    copied = copied && fchmod(out, info.st_mode & 07777) == 0 && fsync(out) == 0;
    copied = close_after(out, copied);
    return close_after(in, copied);
}

bool all_moved(const std::vector<JournalMove>& moves) {
    // Moved and not undone: the file left its place, and the earlier one
    // (if any) is still kept aside, undoing puts it back.
    return std::all_of(moves.begin(), moves.end(), [](const JournalMove& move) {
        return gone(move.from) && (move.earlier.empty() || !gone(move.earlier));
    });
}

namespace {

bool undo(const JournalMove& move) {
    struct stat kept {};
    struct stat there {};
    if (!move.earlier.empty()) {
        if (lstat(move.earlier.c_str(), &kept) != 0) return errno == ENOENT;  // already put back
        // Still the same file in its place: the move was never made.
        if (lstat(move.to.c_str(), &there) == 0 && there.st_dev == kept.st_dev && there.st_ino == kept.st_ino)
            return true;
        return rename(move.earlier.c_str(), move.to.c_str()) == 0;
    }
    if (lstat(move.from.c_str(), &kept) == 0) return true;  // never made, or already undone
    if (errno != ENOENT) return false;
    if (lstat(move.to.c_str(), &there) != 0) return errno == ENOENT;
    return rename(move.to.c_str(), move.from.c_str()) == 0;
}

}  // namespace

bool undo_moves(const JournalMove* moves, std::size_t count) {
    bool undone = true;
    while (count-- > 0) undone = undo(moves[count]) && undone;
    return undone;
}

bool sync_moved_folders(const std::vector<JournalMove>& moves) {
    std::vector<std::string> folders;
    for (const JournalMove& move : moves)
        for (const std::string* path : {&move.from, &move.to})
            if (const std::string folder = parent_of(*path);
                std::find(folders.begin(), folders.end(), folder) == folders.end())
                folders.push_back(folder);
    bool synced = true;
    int error = 0;
    for (const std::string& folder : folders)
        if (!sync_folder(folder) && synced) {
            synced = false;
            error = errno;
        }
    errno = error;
    return synced;
}

Recovery recover_set(const std::string& folder) {
    Recovery recovery;
    // A journal that cannot be read (an I/O error) is not taken for none:
    // the folder would be emptied of it.
    const auto unreadable = [&](const std::string& where) {
        if (errno == ENOENT || errno == EINVAL) return false;
        recovery.status = Recovery::Status::failed;
        recovery.error = errno;
        recovery.folder = where;
        return true;
    };
    Journal found;
    if (!read_journal(folder, found)) {
        unreadable(folder);
        return recovery;
    }
    const std::string primary = found.folders.front();
    Journal counting;
    // A copy whose set's journal is gone is stale: the folder's next owner empties it.
    if (primary != folder && !read_journal(primary, counting)) {
        unreadable(primary);
        return recovery;
    }
    if (primary != folder && counting.set != found.set) return recovery;

    std::vector<int> locks;
    for (const std::string& member : found.folders) {
        const int lock = hold_folder(member);
        if (lock >= 0) {
            locks.push_back(lock);
        } else if (errno != ENOENT) {
            recovery.status = errno == EWOULDBLOCK ? Recovery::Status::busy : Recovery::Status::failed;
            recovery.error = errno;
            recovery.folder = member;
            release_all(locks);
            return recovery;
        }
    }
    // Under the locks, the journal that counts is read again: another
    // process may have made the set whole meanwhile.
    Journal held;
    const bool read = read_journal(primary, held);
    if (!read) unreadable(primary);
    if (!read || held.set != found.set) {
        release_all(locks);
        return recovery;
    }
    const bool any_moved = std::any_of(held.moves.begin(), held.moves.end(), [](const JournalMove& move) {
        return gone(move.from) && (move.earlier.empty() || !gone(move.earlier));
    });
    if (all_moved(held.moves)) {
        recovery.status = Recovery::Status::completed;
    } else if (undo_moves(held.moves.data(), held.moves.size())) {
        recovery.status = any_moved ? Recovery::Status::restored : Recovery::Status::none;
    } else {
        recovery.status = Recovery::Status::failed;
    }
    // The journal goes only once what was done is sure to stay done.
    if (recovery.status == Recovery::Status::failed || !sync_moved_folders(held.moves) ||
        unlink((primary + "/" + kJournalName).c_str()) != 0 || !sync_folder(primary)) {
        recovery.status = Recovery::Status::failed;
        recovery.error = errno;
        recovery.folder = primary;
        release_all(locks);
        return recovery;
    }
    recovery.outputs = held.outputs;
    for (const std::string& member : held.folders) remove_folder(member.c_str());
    release_all(locks);
    return recovery;
}
