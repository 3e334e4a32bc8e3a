// The parameter dialog in-process: five or six questions, values as typed,
// words that are not integers asked again, the end of the answers.
#include <gtest/gtest.h>

#include "tests/support/console_capture.hpp"
#include "tests/support/dialog_text.hpp"
#include "console/stages.hpp"

namespace dt = dialog_text;

TEST(ParameterDialog, AsksFiveQuestionsWithoutWaterBodiesAndSixWithThem) {
    for (int32_t presence : {0, -1, 1}) {
        ConsoleCapture io("200 100\n-3\n256\n-150\n7\n");
        ::Run run;
        run.parameters.water_bodies = presence == 1;
        EXPECT_EQ(parameters(run, io.console), Outcome::go_on);
        EXPECT_EQ(io.printed(), dt::parameters(presence == 1)) << presence;
        const ChannelParameters& answers = run.parameters;
        EXPECT_EQ(answers.zone_tone, 200);
        EXPECT_EQ(answers.railing_tone, 100);
        EXPECT_EQ(answers.railing_height, -3);  // heights of any sign are taken as typed
        EXPECT_EQ(answers.contour_tone, 256);   // tones beyond 0..255 too
        EXPECT_EQ(answers.contour_altitude, -150);
        EXPECT_EQ(answers.perimeter_tone, presence == 1 ? 7 : 0);
    }
}

TEST(ParameterDialog, AWordThatIsNotAnIntegerIsDroppedAndTheQuestionAskedAgain) {
    ConsoleCapture io("blanco 255\n255\n2.5 +2\n255\n3000000000 ciento 150\n");
    ::Run run;
    EXPECT_EQ(parameters(run, io.console), Outcome::go_on);
    EXPECT_EQ(io.printed(), dt::kToneChannel + dt::kToneChannel + dt::kToneRailing + dt::kRailingHeight +
                                dt::kRailingHeight + dt::kToneContour + dt::kContourAltitude +
                                dt::kContourAltitude + dt::kContourAltitude);
    EXPECT_EQ(run.parameters.zone_tone, 255);
    EXPECT_EQ(run.parameters.railing_height, 2);
    EXPECT_EQ(run.parameters.contour_altitude, 150);
}

TEST(ParameterDialog, TheEndOfTheAnswersStopsTheRun) {
    ConsoleCapture io("255\n255\n2\n");
    ::Run run;
    EXPECT_EQ(parameters(run, io.console), Outcome::fatal_stop);
    EXPECT_EQ(io.printed(),
              dt::kToneChannel + dt::kToneRailing + dt::kRailingHeight + dt::kToneContour + dt::kEndOfAnswers);

    ConsoleCapture only_words("uno dos");
    ::Run other;
    other.parameters.water_bodies = true;
    EXPECT_EQ(parameters(other, only_words.console), Outcome::fatal_stop);
    EXPECT_EQ(only_words.printed(), dt::kToneChannel + dt::kToneChannel + dt::kToneChannel + dt::kEndOfAnswers);
}
