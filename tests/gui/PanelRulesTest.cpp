// The rules the panel tests do not reach through the window, and the
// licences table. The Save, clamping and button rules are checked through
// the panels in PanelsTest.

#include "LicenceTable.h"
#include "PanelRules.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/null_sink.h>

#include <gtest/gtest.h>

using namespace panels;

TEST(PanelRules, CopyTextAndSinkLookUp)
{
    EXPECT_EQ(logCopyText({"first 100%", "second {}"}), ">> first 100%\n>> second {}\n");
    EXPECT_EQ(logCopyText({}), "");

    auto gui = std::make_shared<gui_log_sink_mt>();
    spdlog::logger both("both", {std::make_shared<spdlog::sinks::null_sink_mt>(), gui});
    spdlog::logger consoleOnly("console", std::make_shared<spdlog::sinks::null_sink_mt>());
    EXPECT_EQ(guiLogSink(&both), gui);
    EXPECT_EQ(guiLogSink(&consoleOnly), nullptr);
    EXPECT_EQ(guiLogSink(nullptr), nullptr);
}

TEST(PanelRules, PathBufferIsCutAndTerminated)
{
    char buffer[8];
    fillPathBuffer("/tmp/x", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "/tmp/x");
    fillPathBuffer("/tmp/shots/long", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "/tmp/sh");
}

TEST(LicenceTable, ThirteenNamesInOrderWithTheirTexts)
{
    ASSERT_EQ(LicenceTable.size(), 13u);
    EXPECT_EQ(LicenceTable.front().first, "Open Asset Import Library");
    EXPECT_EQ(LicenceTable[1].first, "Embree");
    EXPECT_EQ(LicenceTable[10].first, "Intel TBB");
    EXPECT_EQ(LicenceTable.back().first, "xxHash");
    // One Apache text for the three Apache-licensed entries.
    EXPECT_NE(LicenceTable[1].second.find("Apache License"), std::string::npos);
    EXPECT_NE(LicenceTable[1].second.find("Version 2.0"), std::string::npos);
    EXPECT_EQ(LicenceTable[1].second, LicenceTable[10].second);
    EXPECT_EQ(LicenceTable[1].second, LicenceTable[11].second);
    // The others hold their holders and their own licence, without the
    // continuation marks of the Debian file.
    EXPECT_NE(LicenceTable[0].second.find("Copyright"), std::string::npos);
    EXPECT_NE(LicenceTable[0].second.find("Redistribution and use"), std::string::npos);
    EXPECT_NE(LicenceTable[3].second.find("origin of this software must not be misrepresented"), std::string::npos);
    EXPECT_NE(LicenceTable[12].second.find("Redistribution and use"), std::string::npos);
    for (const auto& [name, text] : LicenceTable) {
        EXPECT_GT(text.size(), 40u) << name;
        EXPECT_EQ(text.find("\n .\n"), std::string::npos) << name;
    }
}
