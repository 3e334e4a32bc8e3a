#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "banner.hpp"
#include "console_capture.hpp"
#include "dialog_text.hpp"

TEST(Banner, IsPrintedByteForByteInAFrameOf59Columns) {
    ConsoleCapture io("");
    show_banner(io.console);
    EXPECT_EQ(io.printed(), dialog_text::kBanner);

    // Every framed line: a tab, then 59 characters, the first and last an asterisk.
    std::vector<std::string> framed;
    std::istringstream lines(io.printed());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("\t*", 0) == 0) framed.push_back(line);
    ASSERT_EQ(framed.size(), 13u);
    for (const std::string& line : framed) {
        EXPECT_EQ(line.size(), 60u) << line;
        EXPECT_EQ(line.back(), '*') << line;
    }
    // The two credit lines are text, the others blanks or asterisks.
    EXPECT_NE(framed[9].find("Modelo"), std::string::npos);
    EXPECT_NE(framed[10].find("barandal"), std::string::npos);
}
