// Raw files read in place: only a file that holds every byte asked is mapped,
// and a file cut shorter while mapped reads as zeros where it lost its pages
// and says so, instead of ending the process with SIGBUS.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "files/mapped_file.hpp"
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
