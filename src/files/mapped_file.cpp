#include "files/mapped_file.hpp"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <utility>

namespace {

// The mappings a SIGBUS may come from. A handler reads them at any moment, so
// they are plain lock-free atomics; a slot is filled (end, then begin) before
// its mapping is read and emptied (begin first) before it is unmapped.
struct GuardSlot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> lost{false};
    std::atomic<bool> taken{false};
};
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

constexpr std::size_t kSlots = 32;
std::array<GuardSlot, kSlots> slots;
std::uintptr_t page_bytes = 4096;
struct sigaction earlier_action {};

// A lost page of a guarded mapping becomes a page of zeros and the mapping is
// marked; the read that faulted runs again and finds it. Anything else goes to
// the earlier disposition: its handler is called, or the default restored so
// that the repeated fault ends the process as it would have.
void on_bus_error(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot& slot : slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire)) continue;
        void* page = reinterpret_cast<void*>(address & ~(page_bytes - 1));
        const int saved = errno;
        const void* zeros = mmap(page, page_bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        errno = saved;
        if (zeros != MAP_FAILED) {
            slot.lost.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    if ((earlier_action.sa_flags & SA_SIGINFO) != 0 && earlier_action.sa_sigaction != nullptr) {
        earlier_action.sa_sigaction(signal, info, context);
        return;
    }
    if (earlier_action.sa_handler != SIG_DFL && earlier_action.sa_handler != SIG_IGN &&
        (earlier_action.sa_flags & SA_SIGINFO) == 0) {
        earlier_action.sa_handler(signal);
        return;
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGBUS, &fallback, nullptr);
}

// The handler, installed once; false when it could not be.
bool guard_installed() {
    static const bool installed = [] {
        const long size = sysconf(_SC_PAGESIZE);
        if (size > 0) page_bytes = static_cast<std::uintptr_t>(size);
        struct sigaction action {};
        action.sa_sigaction = on_bus_error;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, &earlier_action) == 0;
    }();
    return installed;
}

int take_slot(std::uintptr_t begin, std::uintptr_t end) {
    for (std::size_t k = 0; k < kSlots; ++k) {
        bool expected = false;
        if (!slots[k].taken.compare_exchange_strong(expected, true)) continue;
        slots[k].lost.store(false, std::memory_order_relaxed);
        slots[k].end.store(end, std::memory_order_release);
        slots[k].begin.store(begin, std::memory_order_release);
        return static_cast<int>(k);
    }
    return -1;
}

void give_back_slot(int k) {
    if (k < 0) return;
    GuardSlot& slot = slots[static_cast<std::size_t>(k)];
    slot.begin.store(0, std::memory_order_release);
    slot.end.store(0, std::memory_order_release);
    slot.taken.store(false, std::memory_order_release);
}

}  // namespace

MappedFile::~MappedFile() { release(); }

MappedFile::MappedFile(MappedFile&& other) noexcept
    : address_(std::exchange(other.address_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      length_(std::exchange(other.length_, 0)),
      slot_(std::exchange(other.slot_, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        release();
        address_ = std::exchange(other.address_, nullptr);
        size_ = std::exchange(other.size_, 0);
        length_ = std::exchange(other.length_, 0);
        slot_ = std::exchange(other.slot_, -1);
    }
    return *this;
}

void MappedFile::release() {
    give_back_slot(slot_);
    slot_ = -1;
    if (address_ != nullptr) munmap(address_, length_);
    address_ = nullptr;
    size_ = length_ = 0;
}

MappedFile MappedFile::map(int fd, uint64_t bytes) {
    MappedFile file;
    struct stat info {};
    if (bytes == 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<uint64_t>(info.st_size) < bytes || bytes > SIZE_MAX - (1u << 22) || !guard_installed())
        return file;
    const auto size = static_cast<std::size_t>(bytes);
    const std::size_t length = (size + page_bytes - 1) & ~(page_bytes - 1);
    void* address = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    if (address == MAP_FAILED) return file;
    const auto begin = reinterpret_cast<std::uintptr_t>(address);
    file.slot_ = take_slot(begin, begin + length);
    if (file.slot_ < 0) {
        munmap(address, length);
        return file;
    }
    file.address_ = address;
    file.size_ = size;
    file.length_ = length;
    return file;
}

bool MappedFile::lost_pages() const {
    return slot_ >= 0 && slots[static_cast<std::size_t>(slot_)].lost.load(std::memory_order_acquire);
}
