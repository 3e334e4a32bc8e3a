// Memory that reads as zeros and takes no page until a page is written: fresh
// anonymous pages, which the system clears the first time each is written (a
// read of an untouched page sees the system's one shared page of zeros). A
// block written here and there, such as a distance map measured only around a
// river, holds the pages written and no more.
#pragma once

#include <cstddef>

class ZeroedPages {
public:
    ZeroedPages() = default;
    ~ZeroedPages();
    ZeroedPages(ZeroedPages&& other) noexcept;
    ZeroedPages& operator=(ZeroedPages&& other) noexcept;
    ZeroedPages(const ZeroedPages&) = delete;
    ZeroedPages& operator=(const ZeroedPages&) = delete;

    // `bytes` bytes of zeros; not made() when the memory cannot be had (or
    // for 0 bytes).
    static ZeroedPages make(std::size_t bytes);

    bool made() const { return address_ != nullptr; }
    void* data() const { return address_; }
    std::size_t bytes() const { return bytes_; }

private:
    void* address_ = nullptr;
    std::size_t bytes_ = 0;
};
