// The large standard-output buffer: every byte reaches the descriptor in
// order, nothing before a flush while it fits, everything at a flush, and a
// descriptor that refuses bytes makes the stream fail.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <ostream>
#include <string>

#include "output_buffer.hpp"
#include "temp_folder.hpp"

namespace {

class OpenFile {
public:
    explicit OpenFile(const std::string& path, int flags = O_WRONLY | O_CREAT | O_TRUNC)
        : fd(::open(path.c_str(), flags, 0644)) {}
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
    int fd;
};

TEST(OutputBuffer, EveryByteInOrderAcrossTheBufferEnd) {
    TempFolder temp;
    const std::string path = temp / "out.txt";
    OpenFile file(path);
    ASSERT_GE(file.fd, 0);
    std::string expected;
    {
        OutputBuffer buffer(file.fd, 64);
        std::ostream out(&buffer);
        for (int k = 0; k < 100; ++k) {
            const std::string line = "\tLinea " + std::to_string(k) + "          \r     ";
            out << line;
            expected += line;
            out.put(static_cast<char>('a' + k % 26));  // one character at a time too
            expected += static_cast<char>('a' + k % 26);
        }
        const std::string longer(1000, 'x');  // more than the whole buffer at once
        out << longer;
        expected += longer;
        out << "fin";
        expected += "fin";
        EXPECT_TRUE(out.good());
    }  // the rest leaves when the buffer ends
    EXPECT_EQ(read_file(path), expected);
}

TEST(OutputBuffer, HoldsBytesUntilFlushedWhileTheyFit) {
    TempFolder temp;
    const std::string path = temp / "out.txt";
    OpenFile file(path);
    ASSERT_GE(file.fd, 0);
    OutputBuffer buffer(file.fd, 1 << 20);
    std::ostream out(&buffer);
    out << "\n Nombre del archivo: ";
    EXPECT_EQ(read_file(path), "");
    out.flush();
    EXPECT_EQ(read_file(path), "\n Nombre del archivo: ");
    out << "rio";
    out.flush();
    EXPECT_EQ(read_file(path), "\n Nombre del archivo: rio");
}

TEST(OutputBuffer, ARefusedWriteFailsTheStream) {
    OpenFile full("/dev/full", O_WRONLY);
    ASSERT_GE(full.fd, 0);
    OutputBuffer buffer(full.fd, 16);
    std::ostream out(&buffer);
    out << "more than sixteen bytes of progress";
    EXPECT_TRUE(out.bad());
    std::ostream flushed(&buffer);
    flushed << "x";
    flushed.flush();
    EXPECT_TRUE(flushed.bad());
}

}  // namespace
