#include "files/paged_raster.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "files/raster_pair.hpp"

std::unique_ptr<PagedRaster> PagedRaster::open(std::FILE* file, int32_t lines, int32_t columns) {
    if (file == nullptr || lines <= 0 || columns <= 0) return nullptr;
    const uint64_t bytes = static_cast<uint64_t>(lines) * static_cast<uint64_t>(columns) * sizeof(int32_t);
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) < bytes)
        return nullptr;
    const std::size_t page_count = static_cast<std::size_t>((bytes + kPageBytes - 1) / kPageBytes);
    ZeroedPages pages = ZeroedPages::make(page_count * kPageBytes);
    if (!pages.made()) return nullptr;
    const int fd = fcntl(fileno(file), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    return std::unique_ptr<PagedRaster>(new PagedRaster(fd, columns, bytes, std::move(pages), page_count));
}

PagedRaster::PagedRaster(int fd, int32_t columns, uint64_t bytes, ZeroedPages pages, std::size_t page_count)
    : fd_(fd), columns_(columns), bytes_(bytes), pages_(std::move(pages)), loaded_(new std::atomic<bool>[page_count]) {
    for (std::size_t k = 0; k < page_count; ++k) loaded_[k].store(false, std::memory_order_relaxed);
}

PagedRaster::~PagedRaster() { close(fd_); }

void PagedRaster::load(std::size_t page) const {
    const std::lock_guard<std::mutex> lock(loading_);
    if (loaded_[page].load(std::memory_order_relaxed)) return;
    auto* into = static_cast<char*>(pages_.data()) + page * kPageBytes;
    std::size_t done = 0;
    while (done < kPageBytes) {
        const ssize_t got = pread(fd_, into + done, kPageBytes - done, static_cast<off_t>(page * kPageBytes + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    // Short of the page: the end of the file, or an error. Either is a loss
    // when the page is the raster's (the last page may end with the file).
    if (done < kPageBytes) {
        std::memset(into + done, 0, kPageBytes - done);
        const auto wanted = static_cast<std::size_t>(std::min<uint64_t>(kPageBytes, bytes_ - page * kPageBytes));
        if (done < wanted) lost_.store(true, std::memory_order_release);
    }
    loaded_[page].store(true, std::memory_order_release);
}

int32_t PagedRaster::pixel(int64_t line, int64_t column) const {
    const auto at = static_cast<std::size_t>((line * columns_ + column) * static_cast<int64_t>(sizeof(int32_t)));
    const std::size_t page = at / kPageBytes;
    if (!loaded_[page].load(std::memory_order_acquire)) load(page);
    int32_t value = 0;
    std::memcpy(&value, static_cast<const char*>(pages_.data()) + at, sizeof value);
    if constexpr (!kLittleEndianHost) swap_pixel_bytes(&value, 1);
    return value;
}
