// GDAL-style progress: one line, "0...10...", and nothing when not shown.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gis/arguments.hpp"
#include "gis/progress.hpp"
#include "gis/tool_error.hpp"

namespace {

// Everything a shown or hidden Progress prints while `use` works it.
template <typename Use>
std::string printed(bool shown, Use use) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&buffer, &size);
    {
        Progress progress(f, shown);
        use(progress);
    }
    std::fclose(f);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

// ... for the given sequence of fractions, straight or through a span of the line.
std::string printed(bool shown, std::initializer_list<double> fractions) {
    return printed(shown, [&](Progress& progress) {
        for (double fraction : fractions) progress.update(fraction);
    });
}
std::string printed_in_span(double from, double to, std::initializer_list<double> fractions) {
    return printed(true, [&](Progress& progress) {
        ProgressSpan span{progress, from, to};
        for (double fraction : fractions) ProgressSpan::gdal_callback(fraction, nullptr, &span);
    });
}

TEST(Progress, PrintsGdalsLineOnceWhateverTheSteps) {
    const std::string full = "0...10...20...30...40...50...60...70...80...90...100 - done.\n";
    EXPECT_EQ(printed(true, {0.0, 1.0}), full);
    EXPECT_EQ(printed(true, {0.0, 0.1, 0.1, 0.05, 0.37, 0.5, 0.99, 1.0, 1.0}), full);
    EXPECT_EQ(printed(true, {0.0, 0.26}), "0...10...20..");  // 26 percent: ten ticks and two dots
    EXPECT_EQ(printed(true, {-3.0, 7.0}), full);  // out of range is clamped
    EXPECT_EQ(printed(false, {0.0, 0.5, 1.0}), "");
    // A span maps a step onto its part of the line.
    EXPECT_EQ(printed_in_span(0.5, 1.0, {0.0}), "0...10...20...30...40...50");
    EXPECT_EQ(printed_in_span(0.5, 1.0, {0.0, 1.0}), full);
}

TEST(Arguments, GdalStyleOptions) {
    const std::vector<OptionDef> options = {{"--nodata", 1}, {"--scale", 1},           {"-q"},
                                             {"--all-touched"}, {"--config", 2, true}, {"-of", 1, false, "--format"},
                                             {"-co", 1, true},  {"-tr", 2}};
    const CommandLine line = parse_arguments({"a", "--nodata", "-9999", "-q", "b", "--scale=0.5", "--config", "K",
                                              "V", "--format", "HFA", "-co", "A=1", "-co", "B=2", "-tr", "5", "-5",
                                              "--config", "L", "W"},
                                             options);
    EXPECT_EQ(line.positional, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(line.value("--nodata"), "-9999");
    EXPECT_EQ(line.value("--scale"), "0.5");
    EXPECT_EQ(line.value("-of"), "HFA");  // the alias is stored under the option's own name
    EXPECT_EQ(line.words("-tr"), (std::vector<std::string>{"5", "-5"}));
    EXPECT_EQ(line.occurrences("-co"), (std::vector<std::vector<std::string>>{{"A=1"}, {"B=2"}}));
    EXPECT_EQ(line.occurrences("--config"), (std::vector<std::vector<std::string>>{{"K", "V"}, {"L", "W"}}));
    EXPECT_TRUE(line.has("-q"));
    EXPECT_FALSE(line.has("--all-touched"));
    EXPECT_THROW(parse_arguments({"--all-touched=1"}, options), ToolError);
    EXPECT_THROW(parse_arguments({"-of", "GTiff", "--format", "HFA"}, options), ToolError);  // one option, twice
    EXPECT_THROW(parse_arguments({"--config=K"}, options), ToolError);

    EXPECT_EQ(parse_number("--scale", "-2.5e1"), -25.0);
    EXPECT_THROW(parse_number("--scale", "nan"), ToolError);
    EXPECT_THROW(parse_number("--scale", ""), ToolError);
    EXPECT_EQ(parse_int32("--tone", "+7"), 7);
    EXPECT_EQ(parse_int32("--nodata", "-2147483648"), INT32_MIN);
    EXPECT_THROW(parse_int32("--tone", "2147483648"), ToolError);
    EXPECT_THROW(parse_int32("--tone", "7.0"), ToolError);
}

}  // namespace
