// A raw raster of 32-bit pixels read a page at a time, as its pixels are
// asked for: for the slope model, of which a run reads only the pixels under
// the lower boundary's hits, scattered along the banks. A page is read once
// (pread, 4 KiB) into memory that takes no room until written
// (lib/zeroed_pages.hpp), so a river across a large raster holds about the
// pages along its banks, not the file. (Mapped, the file would come in as
// whole folios of the page cache, up to 2 MiB at a time.)
//
// The file must hold the whole raster when it is opened; a page it no longer
// holds when it is read (cut shorter, or a read error) reads as zeros, and
// lost_pages() says so.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>

#include "compute/channel_inputs.hpp"
#include "lib/zeroed_pages.hpp"

class PagedRaster final : public PixelSource {
public:
    // The `lines` x `columns` raster of the open raw file `file`, from its
    // start; null when the file does not hold it all, or its descriptor or
    // the memory cannot be had. The file may be closed afterwards.
    static std::unique_ptr<PagedRaster> open(std::FILE* file, int32_t lines, int32_t columns);
    ~PagedRaster() override;
    PagedRaster(const PagedRaster&) = delete;
    PagedRaster& operator=(const PagedRaster&) = delete;

    // Safe from several threads at once.
    int32_t pixel(int64_t line, int64_t column) const override;
    bool lost_pages() const { return lost_.load(std::memory_order_acquire); }

private:
    PagedRaster(int fd, int32_t columns, uint64_t bytes, ZeroedPages pages, std::size_t page_count);
    void load(std::size_t page) const;

    static constexpr std::size_t kPageBytes = 4096;
    int fd_;
    int32_t columns_;
    uint64_t bytes_;  // the raster's
    ZeroedPages pages_;
    std::unique_ptr<std::atomic<bool>[]> loaded_;
    mutable std::mutex loading_;
    mutable std::atomic<bool> lost_{false};
};
