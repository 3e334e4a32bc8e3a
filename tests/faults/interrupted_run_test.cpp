// Runs that do not end as planned: answers that run out, a signal while the
// program waits for the parameters, a kill it cannot catch, and two runs
// writing the same result at once. The earlier result stays whole until a
// complete one replaces it, and nothing is left behind that blocks a later run.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/console_run.hpp"
#include "tests/support/dialog_text.hpp"
#include "tests/support/running_child.hpp"

namespace dt = dialog_text;

namespace {

const std::string kNames = "rio1\nvalle\nbar\ncauce\ncurva\n0\nresultado\n";

class Interrupted : public ConsoleRun {
protected:
    void SetUp() override {
        write_scenario(images_, 9, 7);
        write_file(folder_ + "resultado_m4.raw", "earlier raster");
        write_file(folder_ + "resultado_m4.txt", "earlier descriptor");
    }
    void expect_earlier_result() const {
        EXPECT_EQ(result_raw(), "earlier raster");
        EXPECT_EQ(result_txt(), "earlier descriptor");
    }
};

}  // namespace

TEST_F(Interrupted, AnswersThatRunOutLeaveTheEarlierResultAndStatusOne) {
    // The result named, then the answers end (as `head -8 answers.txt` gives them).
    const BinaryRun r = run(kNames + "255\n");
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, dt::opening(false) + dt::kToneChannel + dt::kToneRailing + dt::kEndOfAnswers);
    expect_earlier_result();
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

TEST_F(Interrupted, ASignalWhileWaitingForTheParametersLeavesTheEarlierResultAndNoTemporary) {
    // Every signal whose default action ends the process removes the temporaries.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGRTMIN, SIGKILL}) {
        RunningChild child(request(""));
        child.send(kNames);
        ASSERT_TRUE(child.wait_for(dt::kToneChannel)) << child.out;
        EXPECT_EQ(child.stop(signal), 128 + signal);
        expect_earlier_result();
        // SIGKILL cannot be caught: its temporaries stay, for the next run to remove.
        if (signal != SIGKILL) {
            EXPECT_EQ(leftovers(), std::vector<std::string>{}) << signal;
        }
    }
    EXPECT_FALSE(leftovers().empty());
    // What a killed run left neither blocks the next one nor outlives it.
    const BinaryRun r = run(RunAnswers{});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, dt::opening(false) + dt::parameters(false) + dt::computation(9, 7));
    EXPECT_EQ(result_raw().size(), 4u * 9u * 7u);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

TEST_F(Interrupted, ASecondRunOnTheSameResultIsToldItIsInUseAndTheFirstOneWritesItWhole) {
    // What the first run's answers give, written alone under another name.
    RunAnswers first;
    first.result = "solo";
    ASSERT_EQ(run(first).exit_status, 0);
    first.result = "resultado";

    RunningChild writing(request(""));
    writing.send(kNames);
    ASSERT_TRUE(writing.wait_for(dt::kToneChannel)) << writing.out;

    RunAnswers second;
    second.alti_lim = "900";
    const BinaryRun r = run(second);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, dt::opening(false) + "\n El archivo " + folder_ +
                         "resultado_m4.raw esta en uso por otra ejecucion del programa \n");
    expect_earlier_result();

    writing.send("255\n255\n2\n255\n150\n");
    EXPECT_EQ(writing.stop(0), 0);
    EXPECT_EQ(result_raw(), read_file(folder_ + "solo_m4.raw"));
    EXPECT_EQ(result_txt(), read_file(folder_ + "solo_m4.txt"));
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}
