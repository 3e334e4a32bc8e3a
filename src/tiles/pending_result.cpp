#include "pending_result.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include "tiles_error.hpp"

namespace {

// What a signal must do with each temporary, in fixed slots of plain
// characters: a signal handler may only read memory and call unlink and
// rename. A slot is claimed before its file is created, so that no signal
// finds a temporary it does not know; while the result is being renamed into
// place, a signal completes the renames instead, so that a result pair is
// never left half renamed.
constexpr int kSlots = 4;
constexpr std::size_t kPathBytes = 4096;
enum : int { kFree, kFilling, kHeld };
struct Slot {
    char temporary[kPathBytes];
    char final[kPathBytes];
    std::atomic<int> state{kFree};
};
Slot slots[kSlots];
std::atomic<bool> finishing{false};  // the result is complete and being renamed into place

int hold(const std::string& temporary, const std::string& final) {
    if (temporary.size() >= kPathBytes || final.size() >= kPathBytes) return -1;
    for (int s = 0; s < kSlots; ++s) {
        int expected = kFree;
        if (slots[s].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(slots[s].temporary, temporary.c_str(), temporary.size() + 1);
            std::memcpy(slots[s].final, final.c_str(), final.size() + 1);
            slots[s].state.store(kHeld);
            return s;
        }
    }
    return -1;
}

void set_state(int slot, int state) {
    if (slot >= 0) slots[slot].state.store(state);
}

// Slots in the order they were claimed: the raster before the descriptor.
extern "C" void clean_up_and_reraise(int signal_number) {
    const bool finish = finishing.load();
    for (Slot& slot : slots) {
        if (slot.state.load() != kHeld) continue;
        if (finish) rename(slot.temporary, slot.final);
        else unlink(slot.temporary);
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// A new file beside `path`, created exclusively under a name that no other
// live process uses, the host and process in it: path.tmp-<host>-<pid>-<n>.
// Its slot is claimed first; a name already taken can only be the debris of
// an earlier process, and the next number is tried.
int create_beside(const std::string& path, std::string& made, int& slot) {
    static std::atomic<int> count{0};
    char host[256] = "";
    gethostname(host, sizeof host - 1);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        made = path + ".tmp-" + host + "-" + std::to_string(getpid()) + "-" + std::to_string(count++);
        slot = hold(made, path);
        const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        const int reason = errno;
        set_state(slot, kFree);
        slot = -1;
        errno = reason;
        if (reason != EEXIST) return -1;
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
    pending.raw_fd_ = create_beside(result.raw, pending.raw_temporary_, pending.raw_slot_);
    if (pending.raw_fd_ < 0) throw TilesError("No se puede crear el archivo " + result.raw + ": " + system_reason());
    pending.descriptor_fd_ = create_beside(result.descriptor, pending.descriptor_temporary_, pending.descriptor_slot_);
    if (pending.descriptor_fd_ < 0)
        throw TilesError("No se puede crear el archivo " + result.descriptor + ": " + system_reason());
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
    pending.raw_slot_ = hold(raw_temporary, result.raw);
    pending.raw_fd_ = ::open(raw_temporary.c_str(), O_WRONLY | O_CLOEXEC);
    if (pending.raw_fd_ < 0)
        throw TilesError("no se pudo abrir el archivo temporal " + raw_temporary + ": " + system_reason());
    return pending;
}

PendingResult::PendingResult(PendingResult&& other) noexcept
    : result_(std::move(other.result_)),
      raw_temporary_(std::move(other.raw_temporary_)),
      descriptor_temporary_(std::move(other.descriptor_temporary_)),
      raw_fd_(std::exchange(other.raw_fd_, -1)),
      descriptor_fd_(std::exchange(other.descriptor_fd_, -1)),
      raw_slot_(std::exchange(other.raw_slot_, -1)),
      descriptor_slot_(std::exchange(other.descriptor_slot_, -1)),
      owner_(std::exchange(other.owner_, false)),
      done_(std::exchange(other.done_, true)) {}

PendingResult::~PendingResult() {
    if (!done_ && owner_) abandon();
    close_checked(raw_fd_);
    close_checked(descriptor_fd_);
    set_state(raw_slot_, kFree);
    set_state(descriptor_slot_, kFree);
}

void PendingResult::close_raw() {
    if (!close_checked(raw_fd_))
        throw TilesError("No se pudo escribir completo el archivo " + result_.raw + ": " + system_reason());
}

void PendingResult::abandon() {
    close_checked(raw_fd_);
    close_checked(descriptor_fd_);
    set_state(raw_slot_, kFree);
    set_state(descriptor_slot_, kFree);
    raw_slot_ = descriptor_slot_ = -1;
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
    } catch (const TilesError&) {
        abandon();
        throw;
    }
    // From here on the result is complete: a signal finishes the renames.
    finishing.store(true);
    if (std::rename(raw_temporary_.c_str(), result_.raw.c_str()) != 0) {
        const std::string reason = system_reason();
        finishing.store(false);
        abandon();
        throw TilesError("no se pudo renombrar " + raw_temporary_ + " a " + result_.raw + ": " + reason);
    }
    raw_temporary_.clear();
    if (std::rename(descriptor_temporary_.c_str(), result_.descriptor.c_str()) != 0) {
        const std::string reason = system_reason();
        finishing.store(false);
        abandon();
        throw TilesError("no se pudo renombrar " + descriptor_temporary_ + " a " + result_.descriptor + ": " + reason +
                         " (el raster " + result_.raw + " ya es el nuevo)");
    }
    descriptor_temporary_.clear();
    set_state(raw_slot_, kFree);
    set_state(descriptor_slot_, kFree);
    raw_slot_ = descriptor_slot_ = -1;
    finishing.store(false);
    done_ = true;
}

void remove_temporaries_on_signals() {
    struct sigaction action {};
    action.sa_handler = clean_up_and_reraise;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
}
