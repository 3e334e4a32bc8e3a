#include "lib/zeroed_pages.hpp"

#include <sys/mman.h>

#include <utility>

ZeroedPages::~ZeroedPages() {
    if (address_ != nullptr) munmap(address_, bytes_);
}

ZeroedPages::ZeroedPages(ZeroedPages&& other) noexcept
    : address_(std::exchange(other.address_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}

ZeroedPages& ZeroedPages::operator=(ZeroedPages&& other) noexcept {
    if (this != &other) {
        if (address_ != nullptr) munmap(address_, bytes_);
        address_ = std::exchange(other.address_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

ZeroedPages ZeroedPages::make(std::size_t bytes) {
    ZeroedPages pages;
    if (bytes == 0) return pages;
    void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) return pages;
    pages.address_ = address;
    pages.bytes_ = bytes;
    return pages;
}
