#include "atomic_pair.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "signal_cleanup.hpp"

namespace {

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string beside(const std::string& path, const char* suffix) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder_of(path) + "." + name + suffix;
}

// The file `path` leads to through its symbolic links; `path` itself when it
// is not a link or names nothing. A loop of links is left to the open, which
// then fails.
std::string follow_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target);
        if (length < 0 || length == static_cast<ssize_t>(sizeof target)) return path;
        const std::string next(target, static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : folder_of(path) + next;
    }
    return path;
}

// Closes a temporary's stream; true when every byte written reached the disk.
bool finish(std::FILE*& stream) {
    if (stream == nullptr) return false;
    std::FILE* f = stream;
    stream = nullptr;
    const bool written = std::fflush(f) == 0 && std::ferror(f) == 0 && fsync(fileno(f)) == 0;
    const bool closed = std::fclose(f) == 0;
    return written && closed;
}

}  // namespace

bool replaceable_by_pair(const std::string& path) {
    struct stat info {};
    if (stat(follow_links(path).c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

AtomicPair::Start AtomicPair::start(const std::string& raw_path, const std::string& descriptor_path,
                                    std::unique_ptr<AtomicPair>& pair) {
    std::unique_ptr<AtomicPair> started(new AtomicPair());
    const std::string raw_target = follow_links(raw_path);
    if (!started->lock(raw_target)) return errno == EWOULDBLOCK ? Start::in_use : Start::raw_failed;
    if (!started->create(started->raw_, raw_target, "wb")) return Start::raw_failed;
    if (!started->create(started->descriptor_, follow_links(descriptor_path), "w")) return Start::descriptor_failed;
    pair = std::move(started);
    return Start::ok;
}

bool AtomicPair::lock(const std::string& raw_target) {
    lock_path_ = beside(raw_target, ".lorvantide-lock");
    lock_slot_ = remove_on_signal(lock_path_);
    if (lock_slot_ < 0) {
        errno = ENAMETOOLONG;
        return false;
    }
    // The lock file is removed by whoever holds it, when done: a writer that
    // opened it just before may lock a file no longer there, so the lock
    // counts only when the name still leads to the file locked.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return false;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(fd);
            errno = error;
            return false;
        }
        struct stat held {};
        struct stat named {};
        if (fstat(fd, &held) == 0 && stat(lock_path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            lock_fd_ = fd;
            return true;
        }
        close(fd);
    }
    errno = EAGAIN;
    return false;
}

bool AtomicPair::create(Part& part, const std::string& target, const char* mode) {
    part.target = target;
    part.temporary = beside(target, ".lorvantide-tmp");
    part.slot = remove_on_signal(part.temporary);
    if (part.slot < 0) return false;
    struct stat earlier {};
    const bool existed = stat(target.c_str(), &earlier) == 0;
    // A file the user may not write is not replaced either.
    if (existed && access(target.c_str(), W_OK) != 0) return false;
    // Under the lock, a temporary already there was left by a killed writer.
    unlink(part.temporary.c_str());
    const int fd = open(part.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    if (existed) {
        if (fchown(fd, earlier.st_uid, earlier.st_gid) != 0) {
            // Only the owner's group, or root, may keep another owner.
        }
        fchmod(fd, earlier.st_mode & 07777);
    }
    part.stream = fdopen(fd, mode);
    if (part.stream == nullptr) {
        close(fd);
        return false;
    }
    return true;
}

AtomicPair::Commit AtomicPair::commit() {
    if (!finish(raw_.stream)) return Commit::raw_lost;
    if (!finish(descriptor_.stream)) return Commit::descriptor_lost;
    const SignalsHeld held;
    if (rename(raw_.temporary.c_str(), raw_.target.c_str()) != 0) return Commit::raw_lost;
    forget_on_signal(raw_.slot);
    raw_.slot = -1;
    if (rename(descriptor_.temporary.c_str(), descriptor_.target.c_str()) != 0) return Commit::descriptor_stale;
    forget_on_signal(descriptor_.slot);
    descriptor_.slot = -1;
    release_lock();
    return Commit::done;
}

AtomicPair::~AtomicPair() {
    for (Part* part : {&raw_, &descriptor_}) {
        if (part->stream != nullptr) std::fclose(part->stream);
        if (part->slot >= 0) {
            unlink(part->temporary.c_str());
            forget_on_signal(part->slot);
        }
    }
    release_lock();
}

void AtomicPair::release_lock() {
    if (lock_fd_ >= 0) {
        // Removed while still held: see lock().
        unlink(lock_path_.c_str());
        close(lock_fd_);
        lock_fd_ = -1;
    }
    forget_on_signal(lock_slot_);
    lock_slot_ = -1;
}
