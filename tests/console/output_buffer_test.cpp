// The large standard-output buffer: every byte reaches the descriptor in
// order, nothing before a flush while it fits, everything at a flush, and a
// descriptor that refuses bytes makes the stream fail.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <ostream>
#include <string>

#include "console/output_buffer.hpp"
#include "tests/support/temp_folder.hpp"

namespace {

// A file of a temporary folder, open for writing while the object lives.
struct OutFile {
    TempFolder temp;
    std::string path = temp / "out.txt";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ~OutFile() { ::close(fd); }
};

}  // namespace

TEST(OutputBuffer, EveryByteInOrderAcrossTheBufferEnd) {
    OutFile file;
    std::string expected;
    {
        OutputBuffer buffer(file.fd, 64);
        std::ostream out(&buffer);
        for (int k = 0; k < 100; ++k) {
            const std::string line = "\tLinea " + std::to_string(k) + "          \r     ";
            out << line;
            out.put(static_cast<char>('a' + k % 26));  // one character at a time too
            expected += line + static_cast<char>('a' + k % 26);
        }
        out << std::string(1000, 'x') << "fin";  // more than the whole buffer at once
        expected += std::string(1000, 'x') + "fin";
        EXPECT_TRUE(out.good());
    }  // the rest leaves when the buffer ends
    EXPECT_EQ(read_file(file.path), expected);
}

TEST(OutputBuffer, HoldsBytesUntilFlushedWhileTheyFit) {
    OutFile file;
    OutputBuffer buffer(file.fd, 1 << 20);
    std::ostream out(&buffer);
    out << "\n Nombre del archivo: ";
    EXPECT_EQ(read_file(file.path), "");
    out.flush();
    EXPECT_EQ(read_file(file.path), "\n Nombre del archivo: ");
    out << "rio" << std::flush;
    EXPECT_EQ(read_file(file.path), "\n Nombre del archivo: rio");
}

TEST(OutputBuffer, ARefusedWriteFailsTheStream) {
    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    {
        OutputBuffer buffer(full, 16);
        std::ostream out(&buffer);
        out << "more than sixteen bytes of progress";
        EXPECT_TRUE(out.bad());
        std::ostream flushed(&buffer);
        flushed << "x" << std::flush;
        EXPECT_TRUE(flushed.bad());
    }
    ::close(full);
}
