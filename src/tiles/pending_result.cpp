#include "pending_result.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "tiles_error.hpp"

namespace {

// The temporaries a signal must remove: fixed slots of plain characters, since
// a signal handler may only read memory and call unlink.
constexpr int kSlots = 4;
constexpr std::size_t kPathBytes = 4096;
enum : int { kFree, kFilling, kLive };
char slot_paths[kSlots][kPathBytes];
std::atomic<int> slot_state[kSlots];

void hold(const std::string& path) {
    if (path.size() >= kPathBytes) return;
    for (int s = 0; s < kSlots; ++s) {
        int expected = kFree;
        if (slot_state[s].compare_exchange_strong(expected, kFilling)) {
            std::memcpy(slot_paths[s], path.c_str(), path.size() + 1);
            slot_state[s].store(kLive);
            return;
        }
    }
}

void release(const std::string& path) {
    for (int s = 0; s < kSlots; ++s)
        if (slot_state[s].load() == kLive && path == slot_paths[s]) slot_state[s].store(kFree);
}

extern "C" void remove_and_reraise(int signal_number) {
    for (int s = 0; s < kSlots; ++s)
        if (slot_state[s].load() == kLive) unlink(slot_paths[s]);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// A new file beside `path`, created exclusively under a name no other run
// uses: path.tmp<process>-<random>.
int create_beside(const std::string& path, std::string& made) {
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(device() % 1000000);
        const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool close_checked(int& fd) {
    if (fd < 0) return true;
    const bool closed = ::close(fd) == 0;
    fd = -1;
    return closed;
}

}  // namespace

PendingResult PendingResult::create(const PairPaths& result, uint64_t raw_bytes) {
    PendingResult pending;
    pending.result_ = result;
    pending.owner_ = true;
    pending.raw_fd_ = create_beside(result.raw, pending.raw_temporary_);
    if (pending.raw_fd_ < 0) throw TilesError("No se puede crear el archivo " + result.raw + ": " + system_reason());
    hold(pending.raw_temporary_);
    pending.descriptor_fd_ = create_beside(result.descriptor, pending.descriptor_temporary_);
    if (pending.descriptor_fd_ < 0)
        throw TilesError("No se puede crear el archivo " + result.descriptor + ": " + system_reason());
    hold(pending.descriptor_temporary_);
    if (raw_bytes > 0) {
        // The whole raster's room reserved now: a disk too small is told
        // before any tile is computed.
        int status = posix_fallocate(pending.raw_fd_, 0, static_cast<off_t>(raw_bytes));
        if (status == EOPNOTSUPP || status == EINVAL)
            status = ftruncate(pending.raw_fd_, static_cast<off_t>(raw_bytes)) == 0 ? 0 : errno;
        if (status != 0)
            throw TilesError("No se puede crear el archivo " + result.raw + " de " + std::to_string(raw_bytes) +
                             " bytes: " + std::strerror(status));
    }
    return pending;
}

PendingResult PendingResult::join(const PairPaths& result, const std::string& raw_temporary) {
    PendingResult pending;
    pending.result_ = result;
    pending.raw_temporary_ = raw_temporary;
    pending.raw_fd_ = ::open(raw_temporary.c_str(), O_WRONLY | O_CLOEXEC);
    if (pending.raw_fd_ < 0)
        throw TilesError("no se pudo abrir el archivo temporal " + raw_temporary + ": " + system_reason());
    hold(raw_temporary);
    return pending;
}

PendingResult::PendingResult(PendingResult&& other) noexcept
    : result_(std::move(other.result_)),
      raw_temporary_(std::move(other.raw_temporary_)),
      descriptor_temporary_(std::move(other.descriptor_temporary_)),
      raw_fd_(std::exchange(other.raw_fd_, -1)),
      descriptor_fd_(std::exchange(other.descriptor_fd_, -1)),
      owner_(std::exchange(other.owner_, false)),
      done_(std::exchange(other.done_, true)) {}

PendingResult::~PendingResult() {
    if (!done_ && owner_) abandon();
    close_checked(raw_fd_);
    close_checked(descriptor_fd_);
    if (!raw_temporary_.empty()) release(raw_temporary_);
    if (!descriptor_temporary_.empty()) release(descriptor_temporary_);
}

void PendingResult::close_raw() {
    if (!close_checked(raw_fd_))
        throw TilesError("No se pudo escribir completo el archivo " + result_.raw + ": " + system_reason());
}

void PendingResult::abandon() {
    close_checked(raw_fd_);
    close_checked(descriptor_fd_);
    if (!raw_temporary_.empty()) unlink(raw_temporary_.c_str());
    if (!descriptor_temporary_.empty()) unlink(descriptor_temporary_.c_str());
    done_ = true;
}

void PendingResult::commit(const int32_t descriptor[6]) {
    try {
        close_raw();
        char text[96];
        const int length = std::snprintf(text, sizeof text, "%d\n%d\n%d\n%d\n%d\n%d\n", descriptor[0], descriptor[1],
                                         descriptor[2], descriptor[3], descriptor[4], descriptor[5]);
        const auto size = static_cast<std::size_t>(length);
        if (write(descriptor_fd_, text, size) != static_cast<ssize_t>(size) || !close_checked(descriptor_fd_))
            throw TilesError("No se pudo escribir completo el archivo " + result_.descriptor + ": " +
                             system_reason());
        if (std::rename(raw_temporary_.c_str(), result_.raw.c_str()) != 0)
            throw TilesError("no se pudo renombrar " + raw_temporary_ + " a " + result_.raw + ": " + system_reason());
        release(raw_temporary_);
        raw_temporary_.clear();
        if (std::rename(descriptor_temporary_.c_str(), result_.descriptor.c_str()) != 0)
            throw TilesError("no se pudo renombrar " + descriptor_temporary_ + " a " + result_.descriptor + ": " +
                             system_reason());
        release(descriptor_temporary_);
        descriptor_temporary_.clear();
        done_ = true;
    } catch (const TilesError&) {
        abandon();
        throw;
    }
}

void remove_temporaries_on_signals() {
    struct sigaction action {};
    action.sa_handler = remove_and_reraise;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
}
