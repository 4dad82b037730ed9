#include "StringUtils.h"
#include "Timer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Pieces = std::vector<std::string>;

TEST(StringUtils, SplitDropsInnerEmptiesButKeepsTheLastPiece)
{
    EXPECT_EQ(splitString("ab  cd", " ", false), (Pieces{"ab", "cd"}));
    EXPECT_EQ(splitString("ab cd ", " ", false), (Pieces{"ab", "cd", ""}));
    EXPECT_EQ(splitString(" ab", " ", false), (Pieces{"ab"}));
    EXPECT_EQ(splitString("", " ", false), (Pieces{""}));
}

TEST(StringUtils, SplitMatchesTheWholeDelimiterAndTrims)
{
    EXPECT_EQ(splitString("x;; y ;", ";", true), (Pieces{"x", "y", ""}));
    EXPECT_EQ(splitString("a::b", "::", false), (Pieces{"a", "b"}));
    EXPECT_EQ(splitString("a:b", "::", false), (Pieces{"a:b"}));
    EXPECT_EQ(splitString("3ds prj", " ", true), (Pieces{"3ds", "prj"}));
    // Bytes above 127 are never whitespace.
    EXPECT_EQ(splitString("\xa0x\t", ",", true), (Pieces{"\xa0x"}));
}

TEST(StringUtils, FormatAndJoin)
{
    EXPECT_EQ(stringFormat("%s : finished in %s. \n", "remesh", "1.500 s"),
              "remesh : finished in 1.500 s. \n");
    const std::string longPath(700, 'p');
    EXPECT_EQ(stringFormat("<%s>", longPath.c_str()), "<" + longPath + ">");
    EXPECT_EQ(joinStrings({"a.obj", "b.stl"}, ",", "[%s]"), "[a.obj],[b.stl]");
    EXPECT_EQ(joinStrings({"a.obj"}, ",", "[%s]"), "[a.obj]");
    EXPECT_EQ(joinStrings({"a", "b"}, "-", ""), "a-b");
}

TEST(Timer, DurationTextsUseStrictThresholds)
{
    EXPECT_EQ(Timer::formatDuration(999'000'000.0), "999.000 ms");
    EXPECT_EQ(Timer::formatDuration(1'000'000'000.0), "1000.000 ms");
    EXPECT_EQ(Timer::formatDuration(1'000'000'001.0), "1.000 s");
    EXPECT_EQ(Timer::formatDuration(60e9), "60.000 s");
    EXPECT_EQ(Timer::formatDuration(90e9), "1.500 m");
    EXPECT_EQ(Timer::formatDuration(2 * 3600e9), "2.000 h");
    EXPECT_EQ(Timer::formatDuration(36 * 3600e9), "1.500 d");
    EXPECT_EQ(Timer::formatDuration(std::numeric_limits<double>::quiet_NaN()), "inf");
    EXPECT_EQ(Timer::formatDuration(-std::numeric_limits<double>::infinity()), "inf");
}

TEST(Timer, OnlyNamedTimersReport)
{
    testing::internal::CaptureStdout();
    { Timer silent; }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
    { Timer named("remesh", true); }
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("remesh : finished in ", 0), 0u) << out;
    EXPECT_NE(out.find(" ms. \n"), std::string::npos) << out;

    // Work cut short by an exception did not finish.
    testing::internal::CaptureStdout();
    try {
        Timer named("remesh", true);
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
