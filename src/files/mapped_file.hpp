// A raw file read in place: its bytes mapped read-only into memory, so that a
// grid can be a view over them. No page is copied or cleared for it, and only
// the pages the computation reads become resident, each the first time it is
// read.
//
// A mapped file can still change under the program. Bytes written into it
// show through; a file cut shorter (or a disk that fails while a page is
// fetched) would end the process with SIGBUS on the next read of a page it
// lost. Every mapping is therefore registered with one SIGBUS handler, which
// puts a page of zeros in place of the lost one and marks the mapping: the
// read gives 0 and the computation goes on, and lost_pages() tells the caller,
// who must then not trust what was read. A SIGBUS at any other address goes to
// the disposition there was before (the process ends as it would have).
#pragma once

#include <cstddef>
#include <cstdint>

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // The first `bytes` bytes of the open file `fd`, from its start; an
    // unmapped object (mapped() false) when the file is not a regular file,
    // holds fewer bytes, `bytes` is 0, or the system refuses (no address space
    // left, a file system that cannot map, every guard slot taken).
    static MappedFile map(int fd, uint64_t bytes);

    bool mapped() const { return address_ != nullptr; }
    const unsigned char* bytes() const { return static_cast<const unsigned char*>(address_); }
    std::size_t size() const { return size_; }

    // Whether a page could not be read since the file was mapped: it read as
    // zeros. Safe to ask from any thread.
    bool lost_pages() const;

private:
    void release();

    void* address_ = nullptr;
    std::size_t size_ = 0;     // bytes asked
    std::size_t length_ = 0;   // bytes mapped (whole pages)
    int slot_ = -1;            // the guard's slot
};
