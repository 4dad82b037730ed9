// The menu bar's and panels' decisions, and the licences table.

#include "LicenceTable.h"
#include "PanelRules.h"
#include "PendingActions.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/null_sink.h>

#include <gtest/gtest.h>

using namespace panels;

TEST(PanelRules, SaveNeedsAModelAndNoFileTask)
{
    EXPECT_TRUE(saveEnabled(0, "m.obj"));
    EXPECT_TRUE(saveEnabled(PendingAction::RemeshRunning | PendingAction::SaveRequested, "m.obj"));
    EXPECT_FALSE(saveEnabled(0, ""));
    EXPECT_FALSE(saveEnabled(PendingAction::LoadRunning, "m.obj"));
    EXPECT_FALSE(saveEnabled(PendingAction::SaveRunning, "m.obj"));
}

TEST(PanelRules, SaveProposalKeepsTheWholePath)
{
    EXPECT_EQ(saveProposal("C:/m/bunny.obj", "stl"), "C:/m/bunny.obj.stl");
    EXPECT_EQ(saveProposal("/tmp/a b/\"$(x)\".ply", "glb"), "/tmp/a b/\"$(x)\".ply.glb");
}

TEST(PanelRules, DensityAndSizeRatioRanges)
{
    EXPECT_EQ(clampDensity(0.1f), 0.5f);
    EXPECT_EQ(clampDensity(12.0f), 10.0f);
    EXPECT_EQ(clampDensity(3.0f), 3.0f);
    // The size ratio is left alone while uniform remeshing is chosen.
    EXPECT_FALSE(showsSizeRatio(0));
    EXPECT_EQ(clampSizeRatio(0.2f, 0), 0.2f);
    EXPECT_EQ(clampSizeRatio(40.0f, 0), 40.0f);
    EXPECT_TRUE(showsSizeRatio(1));
    EXPECT_EQ(clampSizeRatio(0.2f, 1), 1.0f);
    EXPECT_EQ(clampSizeRatio(40.0f, 1), 10.0f);
    EXPECT_TRUE(remeshButtonsDisabled(PendingAction::RemeshRunning));
    EXPECT_FALSE(remeshButtonsDisabled(PendingAction::LoadRunning | PendingAction::RemeshRequested));
}

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
