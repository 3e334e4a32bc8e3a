#include "files/atomic_outputs.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "files/commit_journal.hpp"
#include "files/signal_cleanup.hpp"

namespace {

constexpr const char* kFolderSuffix = ".lorvantide-tmp";
constexpr const char* kEarlierPrefix = ".earlier.";

// The temporary folder's name for an output named `name`: .NAME.lorvantide-tmp
// while that is a name the system takes; for a longer one, the beginning of
// the name and a hash of the whole (FNV-1a, 64 bits) instead of NAME.
std::string folder_name(const std::string& name) {
    const std::size_t suffix = std::strlen(kFolderSuffix);
    if (1 + name.size() + suffix <= NAME_MAX) return "." + name + kFolderSuffix;
    uint64_t hash = 14695981039346656037ull;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char hex[17];
    for (int k = 15; k >= 0; --k, hash >>= 4) hex[k] = "0123456789abcdef"[hash & 15];
    hex[16] = '\0';
    return "." + name.substr(0, NAME_MAX - 1 - 1 - 16 - suffix) + "-" + hex + kFolderSuffix;
}

// `path` from the root: the journal must mean the same to a run started
// elsewhere.
bool from_root(std::string& path) {
    if (path.front() == '/') return true;
    char here[PATH_MAX];
    if (getcwd(here, sizeof here) == nullptr) return false;
    path = std::string(here) + (here[1] == '\0' ? "" : "/") + path;
    return true;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes sure what was written into `path` reached the disk.
bool sync_path(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return synced;
}

// Closes what this process still has open on a temporary; true when every
// byte written through it reached the disk (nothing open: true). False with
// errno otherwise.
bool finish_writing(std::FILE*& stream, int& fd) {
    int error = 0;
    if (stream != nullptr) {
        std::FILE* f = stream;
        stream = nullptr;
        errno = 0;
        if (std::fflush(f) != 0 || std::ferror(f) != 0 || fsync(fileno(f)) != 0) error = errno != 0 ? errno : EIO;
        if (std::fclose(f) != 0 && error == 0) error = errno;
    }
    if (fd >= 0) {
        const int f = fd;
        fd = -1;
        if (fsync(f) != 0) error = errno;
        if (close(f) != 0 && error == 0) error = errno;
    }
    errno = error;
    return error == 0;
}

// Closes what this process still has open on a temporary it gives up.
void drop(std::FILE*& stream, int& fd) {
    if (stream != nullptr) std::fclose(stream);
    if (fd >= 0) close(fd);
    stream = nullptr;
    fd = -1;
}

// The names in a temporary folder but its lock file.
bool names_in(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && name != kFolderLock) names.push_back(name);
    }
    closedir(dir);
    return true;
}

}  // namespace

bool follow_links(const std::string& path, std::string& resolved) {
    resolved = path;
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t length = readlink(resolved.c_str(), target, sizeof target);
        if (length < 0 || length == static_cast<ssize_t>(sizeof target)) return true;
        const std::string next(target, static_cast<std::size_t>(length));
        resolved = next.front() == '/' ? next : folder_of(resolved) + next;
    }
    errno = ELOOP;
    return false;
}

bool replaceable(const std::string& path) {
    std::string resolved;
    if (!follow_links(path, resolved)) return false;
    struct stat info {};
    if (stat(resolved.c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

AtomicOutputs::~AtomicOutputs() { abandon(); }

AtomicOutputs::Claim AtomicOutputs::add(const std::string& target, Kind kind, bool replace_existing,
                                         std::vector<std::string> describing) {
    Output output;
    output.target = target;
    output.kind = kind;
    output.describing = std::move(describing);
    refused_folder_.clear();
    if (!follow_links(target, output.resolved)) return Claim::failed;
    const std::string name = name_of(output.resolved);
    if (name.empty() || name == "." || name == "..") {
        errno = EISDIR;
        return Claim::failed;
    }
    if (!from_root(output.resolved)) return Claim::failed;
    for (const Output& other : outputs_)
        if (other.resolved == output.resolved) return Claim::twice;
    output.folder = folder_of(output.resolved) + folder_name(name);
    output.temporary = output.folder + "/" + name;
    refused_folder_ = output.folder;
    // A set a killed writer left half in place is made whole before anything
    // is learnt of the file.
    for (int attempt = 0;; ++attempt) {
        const Recovery recovery = recover_set(output.folder);
        if (recovery.status == Recovery::Status::busy) {
            if (attempt == 100) return Claim::in_use;
            const timespec pause{0, 10000000};
            nanosleep(&pause, nullptr);
            continue;
        }
        if (recovery.status == Recovery::Status::failed) {
            refused_folder_ = recovery.folder;
            errno = recovery.error;
            return Claim::unrecovered;
        }
        if (recovery.status != Recovery::Status::none)
            recoveries_.push_back({recovery.status == Recovery::Status::completed, recovery.outputs});
        break;
    }
    struct stat earlier {};
    if (stat(output.resolved.c_str(), &earlier) == 0) {
        if (!S_ISREG(earlier.st_mode)) return Claim::not_regular;
        if (!replace_existing) return Claim::exists;
        // A file its user may not write is not replaced either.
        if (access(output.resolved.c_str(), W_OK) != 0) return Claim::not_writable;
        output.existed = true;
        output.mode = earlier.st_mode & 07777;
        output.owner = earlier.st_uid;
        output.group = earlier.st_gid;
    } else if (errno != ENOENT) {
        return Claim::failed;
    }
    outputs_.reserve(outputs_.size() + 1);
    const Claim claim = take(output);
    if (claim == Claim::ok) {
        outputs_.push_back(std::move(output));
        refused_folder_.clear();
    }
    return claim;
}

AtomicOutputs::Claim AtomicOutputs::take(Output& output) {
    const std::string lock_path = output.folder + "/" + kFolderLock;
    // Made, held and registered with no signal in between.
    const Uninterrupted step;
    if (!step.allowed()) {
        errno = EINTR;
        return Claim::failed;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const bool made = mkdir(output.folder.c_str(), 0700) == 0;
        if (!made && errno != EEXIST) return Claim::failed;
        // Another user's folder (left by a run of his) is his to remove.
        struct stat there {};
        if (!made && lstat(output.folder.c_str(), &there) == 0 && there.st_uid != geteuid()) {
            errno = EACCES;
            return Claim::foreign;
        }
        // A folder made here and not taken goes again (if still empty).
        const auto give_up = [&](int error, Claim claim) {
            if (made) rmdir(output.folder.c_str());
            errno = error;
            return claim;
        };
        const int folder = open(output.folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0) {
            if (errno == ENOENT) continue;  // just removed by the writer before
            return give_up(errno, Claim::failed);
        }
        const int lock = openat(folder, kFolderLock, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (lock < 0) {
            const int error = errno;
            close(folder);
            if (error == ENOENT) continue;
            return give_up(error, Claim::failed);
        }
        const auto close_both = [&] {
            close(lock);
            close(folder);
        };
        if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close_both();
            return give_up(error, error == EWOULDBLOCK ? Claim::in_use : Claim::failed);
        }
        // The writer before removes the folder when done, its lock file
        // last: the lock counts only while its name still leads to it.
        struct stat held {};
        struct stat named {};
        if (fstat(lock, &held) != 0 || lstat(lock_path.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
            held.st_ino != named.st_ino) {
            close_both();
            continue;
        }
        // A folder this user did not make (another user's, or planted) is
        // never written into.
        struct stat owner {};
        if (fstat(folder, &owner) != 0) {
            const int error = errno;
            close_both();
            return give_up(error, Claim::failed);
        }
        if (owner.st_uid != geteuid()) {
            close_both();
            return give_up(EACCES, Claim::foreign);
        }
        output.slot = remove_on_signal(output.folder, true);
        if (output.slot < 0) {
            const int error = errno;
            unlinkat(folder, kFolderLock, 0);
            close_both();
            return give_up(error, Claim::failed);
        }
        // Under the lock, whatever else the folder holds was left by a writer
        // that was killed.
        empty_folder(folder);
        close(folder);
        output.lock = lock;
        return Claim::ok;
    }
    errno = EAGAIN;
    return Claim::failed;
}

int AtomicOutputs::create(std::size_t k) {
    Output& output = outputs_[k];
    const int fd = open(output.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) output.fd = fd;
    return fd;
}

std::FILE* AtomicOutputs::create_stream(std::size_t k, const char* mode) {
    Output& output = outputs_[k];
    const int fd = create(k);
    if (fd < 0) return nullptr;
    output.stream = fdopen(fd, mode);
    if (output.stream == nullptr) return nullptr;  // the descriptor stays in output.fd
    output.fd = -1;
    return output.stream;
}

bool AtomicOutputs::reserve(std::size_t k, uint64_t bytes) {
    const Output& output = outputs_[k];
    const int fd = output.stream != nullptr ? fileno(output.stream) : output.fd;
    if (bytes == 0) return true;
    int status = posix_fallocate(fd, 0, static_cast<off_t>(bytes));
    if (status == EOPNOTSUPP || status == EINVAL)
        status = ftruncate(fd, static_cast<off_t>(bytes)) == 0 ? 0 : errno;
    errno = status;
    return status == 0;
}

bool AtomicOutputs::prepare(std::size_t k, std::vector<Move>& moves, Result& result) {
    Output& output = outputs_[k];
    const bool held_open = output.stream != nullptr || output.fd >= 0;
    if (!finish_writing(output.stream, output.fd)) return false;
    struct stat written {};
    if (lstat(output.temporary.c_str(), &written) != 0 || !S_ISREG(written.st_mode)) {
        errno = ENOENT;
        return false;
    }
    if (output.existed) {
        // The owner first: chown clears the set-user-ID and set-group-ID
        // bits, which chmod then gives back.
        if (chown(output.temporary.c_str(), output.owner, output.group) != 0) result.owner_changed.push_back(k);
        if (chmod(output.temporary.c_str(), output.mode) != 0) return false;
    }
    if (!held_open && !sync_path(output.temporary)) return false;
    const std::string beside = folder_of(output.resolved);
    moves.push_back({output.temporary, output.resolved, k});
    std::vector<std::string> names;
    if (output.kind == Kind::dataset) {
        // The driver's own files beside the main one go along with it.
        if (!names_in(output.folder, names)) return false;
        const std::string name = name_of(output.resolved);
        for (const std::string& other : names) {
            if (other == name) continue;
            if (!sync_path(output.folder + "/" + other)) return false;
            moves.push_back({output.folder + "/" + other, beside + other, k});
        }
    }
    // A describing file of the file replaced described that one: unless the
    // new version brings its own, it leaves with the renames.
    for (const std::string& suffix : output.describing) {
        const std::string name = name_of(output.resolved) + suffix;
        struct stat earlier {};
        if (!output.existed || std::find(names.begin(), names.end(), name) != names.end() ||
            lstat((beside + name).c_str(), &earlier) != 0 || !S_ISREG(earlier.st_mode))
            continue;
        moves.push_back({beside + name, output.folder + "/" + name, k});
    }
    return true;
}

AtomicOutputs::Result AtomicOutputs::commit() {
    std::vector<Move> moves;
    Result result;
    for (std::size_t k = 0; k < outputs_.size(); ++k) {
        if (!prepare(k, moves, result)) {
            const int error = errno;
            abandon();
            result.owner_changed.clear();  // nothing was replaced
            result.status = Result::Status::unwritten;
            result.output = k;
            result.error = errno = error;
            return result;
        }
    }
    return place(moves, std::move(result));
}

AtomicOutputs::Result AtomicOutputs::place(const std::vector<Move>& moves, Result result) {
    const auto fail = [&](Result::Status status, std::size_t k, int error) {
        abandon();
        result.owner_changed.clear();  // nothing was replaced
        result.status = status;
        result.output = k;
        result.error = error;
        errno = error;
        return result;
    };
    // The earlier files kept aside and the journal written (steps 2 and 3).
    Journal journal;
    const bool journaled = moves.size() > 1;
    journal.set = new_set_number();
    for (const Output& output : outputs_) {
        journal.folders.push_back(output.folder);
        journal.outputs.push_back(output.resolved);
    }
    for (std::size_t i = 0; i < moves.size(); ++i) {
        JournalMove move{moves[i].from, moves[i].to, std::string()};
        struct stat there {};
        if (journaled && lstat(move.to.c_str(), &there) == 0) {
            move.earlier = outputs_[moves[i].output].folder + "/" + kEarlierPrefix + std::to_string(i);
            if (!keep_earlier(move.to, move.earlier)) return fail(Result::Status::unwritten, moves[i].output, errno);
        } else if (journaled && errno != ENOENT) {
            return fail(Result::Status::unwritten, moves[i].output, errno);
        }
        journal.moves.push_back(std::move(move));
    }
    if (journaled)
        for (std::size_t k = outputs_.size(); k-- > 0;)
            if (!write_journal(outputs_[k].folder, journal)) return fail(Result::Status::unwritten, k, errno);

    // The renames (step 4), undone if one fails.
    std::size_t made = 0;
    int error = 0;
    bool undone = true;
    {
        // Nothing allocated from here to the end of the renames.
        const Uninterrupted step;
        if (!step.allowed()) error = EINTR;
        for (; error == 0 && made < moves.size(); ++made)
            if (rename(moves[made].from.c_str(), moves[made].to.c_str()) != 0) error = errno;
        if (error != 0 && made > 0) --made;  // the failed one
        if (error != 0) undone = undo_moves(journal.moves.data(), made);
        // A set left mixed keeps its journal for its next writer: no signal removes it now.
        if (!undone)
            for (Output& output : outputs_) {
                forget_on_signal(output.slot);
                output.slot = -1;
            }
    }
    if (error != 0) {
        const std::size_t k = moves.empty() ? 0 : moves[made].output;
        if (!undone) {
            for (Output& output : outputs_) {
                drop(output.stream, output.fd);
                if (output.lock >= 0) close(output.lock);
            }
            const std::string folder = outputs_.front().folder;
            outputs_.clear();
            result.owner_changed.clear();
            result.status = Result::Status::mixed;
            result.output = k;
            result.error = errno = error;
            result.file = folder;
            return result;
        }
        // The undoing made sure to reach the disk (as far as it lets) before
        // the folders, journal included, go.
        if (journaled) sync_moved_folders(journal.moves);
        result.file = moves.empty() ? std::string() : moves[made].from;
        return fail(Result::Status::unplaced, k, error);
    }

    // Step 5: every folder renamed into synced, the first that fails
    // reported; then the journal goes.
    std::vector<std::pair<std::string, std::size_t>> folders;  // where the outputs went, and the first going there
    for (std::size_t k = 0; k < outputs_.size(); ++k) {
        const std::string where = folder_of(outputs_[k].resolved);
        if (std::none_of(folders.begin(), folders.end(), [&](const auto& f) { return f.first == where; }))
            folders.emplace_back(where, k);
    }
    for (const auto& [folder, k] : folders) {
        if (sync_path(folder) || result.status != Result::Status::done) continue;
        result.status = Result::Status::unsynced;
        result.output = k;
        result.error = errno;
        result.file = folder;
    }
    if (journaled && unlink((outputs_.front().folder + "/" + kJournalName).c_str()) == 0)
        sync_path(outputs_.front().folder);
    abandon();  // nothing left to remove but the folders, their locks and the earlier files kept aside
    errno = result.error;
    return result;
}

void AtomicOutputs::abandon() {
    for (Output& output : outputs_) release(output);
    outputs_.clear();
}

void AtomicOutputs::release(Output& output) {
    drop(output.stream, output.fd);
    {
        // Removed and forgotten with no signal in between. When a signal is
        // already removing the temporaries, it removes this one too, and the
        // lock stays held until the process ends, lest another writer take
        // the folder the handler is about to empty.
        const Uninterrupted step;
        if (!step.allowed()) return;
        remove_folder(output.folder.c_str());
        forget_on_signal(output.slot);
        output.slot = -1;
    }
    if (output.lock >= 0) close(output.lock);
    output.lock = -1;
}

JoinedTemporary::~JoinedTemporary() {
    if (fd_ >= 0) ::close(fd_);
    forget_on_signal(slot_);
}

bool JoinedTemporary::open(const std::string& path) {
    slot_ = remove_on_signal(path, false);
    if (slot_ < 0) return false;
    fd_ = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    return fd_ >= 0;
}

bool JoinedTemporary::close() {
    std::FILE* none = nullptr;
    return finish_writing(none, fd_);
}
