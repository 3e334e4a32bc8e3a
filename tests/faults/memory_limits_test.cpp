// The real program under address-space limits from too small for the grids
// to enough for everything: memory that runs out anywhere ends the run with a
// message, never an abort, and nothing is written but a whole result.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/console_run.hpp"

namespace fs = std::filesystem;

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
        EXPECT_EQ(hidden_names(folder), std::vector<std::string>{});
    }
    // The limits tried cover both ends.
    EXPECT_GT(stopped, 0);
    EXPECT_GT(written, 0);
#endif
}
