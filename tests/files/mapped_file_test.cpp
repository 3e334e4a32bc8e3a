// Raw files read in place or by pages: only a file that holds every byte
// asked is mapped (or paged), and a file cut shorter meanwhile reads as zeros
// where it lost its pages and says so, instead of ending the process with
// SIGBUS or giving what it no longer holds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "files/mapped_file.hpp"
#include "files/paged_raster.hpp"
#include "tests/support/temp_folder.hpp"

TEST(MappedFile, MapsOnlyARegularFileHoldingEveryByteAsked) {
    TempFolder temp;
    const long page = sysconf(_SC_PAGESIZE);
    std::string bytes(static_cast<std::size_t>(3 * page + 5), '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 7 + 1);
    write_file(temp / "raw", bytes);
    const int fd = open((temp / "raw").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (const uint64_t asked : {uint64_t{1}, uint64_t(page), uint64_t(bytes.size())}) {
        const MappedFile file = MappedFile::map(fd, asked);
        ASSERT_TRUE(file.mapped()) << asked;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.bytes()), file.size()), bytes.substr(0, asked));
        EXPECT_FALSE(file.lost_pages());
    }
    EXPECT_FALSE(MappedFile::map(fd, bytes.size() + 1).mapped());  // a short file is read, not mapped
    EXPECT_FALSE(MappedFile::map(fd, 0).mapped());
    close(fd);
    const int folder = open(temp.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_FALSE(MappedFile::map(folder, 1).mapped());
    close(folder);
}

TEST(MappedFile, AFileCutShorterWhileMappedReadsZerosAndSaysItLostPages) {
    TempFolder temp;
    const long page = sysconf(_SC_PAGESIZE);
    const auto size = static_cast<std::size_t>(4 * page);
    write_file(temp / "raw", std::string(size, '\x5a'));
    const int fd = open((temp / "raw").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    MappedFile file = MappedFile::map(fd, size);
    MappedFile untouched = MappedFile::map(fd, static_cast<uint64_t>(page));
    ASSERT_TRUE(file.mapped());
    EXPECT_EQ(file.bytes()[size - 1], 0x5a);
    ASSERT_EQ(ftruncate(fd, page), 0);
    // Pages beyond the new end are lost, on any thread; the first page is still the file's.
    int seen = -1;
    std::thread reader([&] { seen = file.bytes()[2 * page + 3]; });
    reader.join();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(file.bytes()[size - 1], 0);
    EXPECT_EQ(file.bytes()[page - 1], 0x5a);
    EXPECT_TRUE(file.lost_pages());
    EXPECT_FALSE(untouched.lost_pages());
    // A mapping given back gives its guard back: a new one starts clean.
    file = MappedFile();
    EXPECT_FALSE(MappedFile::map(fd, static_cast<uint64_t>(page)).lost_pages());
    close(fd);
}

// The slope model read by pages: every pixel as the file holds it, from
// several threads at once, and a file cut shorter reads zeros where it lost
// its pages and says so.
TEST(PagedRaster, ReadsEveryPixelAsTheFileHoldsItAndSaysWhenTheFileFellShort) {
    TempFolder temp;
    const int32_t lines = 7;
    const int32_t columns = 3001;  // lines cross pages
    std::string bytes;
    for (int32_t k = 0; k < lines * columns; ++k)
        for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<char>(((k * 2654435761u) >> (8 * b)) & 0xFF));
    write_file(temp / "slope", bytes);
    const auto pixel = [&](int64_t i, int64_t j) {
        const auto k = static_cast<uint32_t>(i * columns + j);
        return static_cast<int32_t>(k * 2654435761u);
    };
    std::FILE* file = std::fopen((temp / "slope").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(PagedRaster::open(file, lines + 1, columns), nullptr);  // a short file is read, not paged
    const std::unique_ptr<PagedRaster> paged = PagedRaster::open(file, lines, columns);
    std::fclose(file);
    ASSERT_NE(paged, nullptr);
    std::vector<std::thread> readers;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&, t] {
            for (int64_t k = t; k < int64_t{lines} * columns; k += 3)
                wrong += paged->pixel(k / columns, k % columns) != pixel(k / columns, k % columns);
        });
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(paged->lost_pages());

    std::FILE* again = std::fopen((temp / "slope").c_str(), "rb");
    const std::unique_ptr<PagedRaster> cut = PagedRaster::open(again, lines, columns);
    std::fclose(again);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->pixel(0, 5), pixel(0, 5));
    std::filesystem::resize_file(temp / "slope", 4096);
    EXPECT_EQ(cut->pixel(0, 5), pixel(0, 5));  // read before the cut
    EXPECT_FALSE(cut->lost_pages());
    EXPECT_EQ(cut->pixel(lines - 1, columns - 1), 0);
    EXPECT_TRUE(cut->lost_pages());
}
