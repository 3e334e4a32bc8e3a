// A work grid that cannot be made ends the stage with a message and the
// failed outcome, not with a crash. The shortage is real: a child process
// caps its address space just above what it already uses and asks for a
// raster of four gigabytes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "compute_fixtures.hpp"
#include "stages.hpp"

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a refused allocation must come back as null, as it
// does from the system allocator, instead of ending the program.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

// Exit codes of the child.
constexpr int kAsExpected = 0;
constexpr int kWrongOutcome = 1;
constexpr int kWrongMessage = 2;
constexpr int kNoLimit = 3;

int run_short_of_memory() {
    long pages = 0;
    std::ifstream statm("/proc/self/statm");
    if (!(statm >> pages)) return kNoLimit;
    const rlim_t in_use = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    const rlimit cap{in_use + (128u << 20), in_use + (128u << 20)};
    if (setrlimit(RLIMIT_AS, &cap) != 0) return kNoLimit;

    ::Run run;
    run.nb_lig = 4096;
    run.nb_col = 1 << 20;
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out);
    const Outcome outcome = treatment(run, console);
    if (outcome != Outcome::failed) return kWrongOutcome;
    if (out.str() != "\n No hay memoria suficiente para la malla del limite inferior \n") return kWrongMessage;
    return run.tab_lim_inf == nullptr ? kAsExpected : kWrongOutcome;
}

TEST(TreatmentMemory, AWorkGridThatCannotBeMadeEndsTheStageWithAMessage) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(run_short_of_memory());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
    EXPECT_EQ(WEXITSTATUS(status), kAsExpected);
}

}  // namespace
