// Names and files that are not what a run expects: a name holding a NUL, a
// FIFO where a file should be, a descriptor claiming far more than its raw
// file holds, and memory that runs out. None may block, write where it was not asked to, or abort.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console_run.hpp"
#include "dialog_text.hpp"

namespace dt = dialog_text;
namespace fs = std::filesystem;
using namespace std::string_literals;

TEST_F(ConsoleRun, ANameHoldingANulWritesNothingWhereTheNulWouldCutIt) {
    write_scenario(images_, 9, 7);
    write_file(folder_ + "notas.txt", "the user's notes");
    const std::string perimeter = read_file(folder_ + "lago.raw");
    for (const std::string& name : {"lago.raw\0x"s, "notas.txt\0x"s}) {
        RunAnswers answers;
        answers.result = name + "\nresultado";
        const BinaryRun r = run(answers);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, dt::kUpToMenu + dt::kResult + dt::kControlInName + dt::kResult + dt::parameters(false) +
                             dt::computation(9, 7));
        EXPECT_EQ(read_file(folder_ + "lago.raw"), perimeter);
        EXPECT_EQ(read_file(folder_ + "notas.txt"), "the user's notes");
    }
}

TEST_F(ConsoleRun, AFifoAsAnInputStopsAndAsTheResultIsAskedAgainWithoutBlocking) {
    write_scenario(images_, 9, 7);
    fs::remove(folder_ + "cauce.raw");
    ASSERT_EQ(mkfifo((folder_ + "cauce.raw").c_str(), 0600), 0);
    const BinaryRun input = run(RunAnswers{});
    EXPECT_EQ(input.exit_status, 1);
    EXPECT_EQ(input.out, dt::kUpToChannel + "\n El archivo " +
                             folder_ + "cauce.raw no es un archivo regular: no se puede leer \n");

    fs::remove(folder_ + "cauce.raw");
    write_scenario(images_, 9, 7);
    ASSERT_EQ(mkfifo((folder_ + "tubo_m4.raw").c_str(), 0600), 0);
    RunAnswers answers;
    answers.result = "tubo\nresultado";
    const BinaryRun result = run(answers);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, dt::kUpToMenu + dt::kResult + "\n El archivo " + folder_ +
                              "tubo_m4.raw no es un archivo regular: el resultado necesita otro nombre \n" +
                              dt::kResult + dt::parameters(false) + dt::computation(9, 7));
    EXPECT_TRUE(fs::is_fifo(folder_ + "tubo_m4.raw"));
}

TEST_F(ConsoleRun, ATinyDescriptorClaimingAHugeRasterOverAnEmptyFileIsRefusedWithoutTakingMemory) {
    write_scenario(images_, 9, 7);
    write_file(folder_ + "valle_m4.txt", "20000 20000 4 0 0 10");
    write_file(folder_ + "valle_m4.raw", "");
    for (const char* mask : {"bar", "cauce", "curva"}) {
        write_file(folder_ + mask + ".txt", "20000 20000");
        write_file(std::string(folder_) + mask + ".raw", "");
    }
#if defined(__SANITIZE_ADDRESS__)
    const unsigned long long limit = 0;  // the sanitizer reserves more address space than any limit
#else
    const unsigned long long limit = 64ull << 20;  // the grids alone would take 6.8 GB
#endif
    const BinaryRun r = run(RunAnswers{}.text(), {}, limit);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, dt::kUpToSlope + "\n El archivo " + folder_ +
                         "valle_m4.raw solo tiene 0 de los 1600000000 bytes que indica su descriptor: no se puede usar \n");
}

TEST(MemoryLimits, ARunOutOfMemoryAnywhereEndsWithAMessageAndStatusOneNeverAnAbort) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limits tried";
#else
    // The bundled sample under address-space limits from too small for the
    // grids to enough for everything: whatever fails (the dialog's check, the
    // computation's maps, its ring tables, a thread, the writer's buffer), the
    // run ends with a memory message and the earlier result whole; or it
    // writes the very result an unlimited run writes.
    TempFolder work;
    const ChildRequest unlimited = sample_run(work);
    const std::string folder = work / "images/rio1/";
    ASSERT_EQ(run_child(unlimited).exit_status, 0);
    const std::string raster = read_file(folder + "resultado_m4.raw");
    const std::string descriptor = read_file(folder + "resultado_m4.txt");
    int stopped = 0;
    int written = 0;
    for (unsigned long long kib = 4096; kib <= 40960; kib += 256) {
        write_file(folder + "resultado_m4.raw", "earlier raster");
        write_file(folder + "resultado_m4.txt", "earlier descriptor");
        ChildRequest limited = unlimited;
        limited.address_space_bytes = kib << 10;
        limited.env["LORVANTIDE_THREADS"] = "2";
        const BinaryRun r = run_child(limited);
        SCOPED_TRACE(std::to_string(kib) + " KiB");
        if (r.exit_status == 0) {
            ++written;
            EXPECT_EQ(read_file(folder + "resultado_m4.raw"), raster);
            EXPECT_EQ(read_file(folder + "resultado_m4.txt"), descriptor);
            continue;
        }
        // Below some 6 MiB the loader, or the C++ runtime, cannot even start
        // the program: it has printed nothing.
        if (r.out.empty() && (r.exit_status == 127 || r.exit_status == 134)) {
            EXPECT_EQ(stopped, 0) << "a limit that lets the program start lies below this one";
        } else {
            ++stopped;
            EXPECT_EQ(r.exit_status, 1) << r.err;
            const bool memory_message = r.out.find("\n No hay memoria") != std::string::npos ||
                                        r.err.find("\n No hay memoria") != std::string::npos;
            EXPECT_TRUE(memory_message) << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0) << r.err;
        }
        EXPECT_EQ(read_file(folder + "resultado_m4.raw"), "earlier raster");
        EXPECT_EQ(read_file(folder + "resultado_m4.txt"), "earlier descriptor");
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }
    // The limits tried cover both ends.
    EXPECT_GT(stopped, 0);
    EXPECT_GT(written, 0);
#endif
}
