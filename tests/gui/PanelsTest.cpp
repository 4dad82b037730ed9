// The menu bar and the panels on a headless Dear ImGui context: items are
// found by label through the item probe and clicked with the mouse state of
// the following frames; shown data texts are reported by the probe too.
// Then the rules the panels do not reach, and the licences table.

#include "Config.h"
#include "FileDialog.h"
#include "ItemProbe.h"
#include "LicenceTable.h"
#include "PanelRules.h"
#include "PendingActions.h"
#include "TriMesh.h"
#include "UiDrawer.h"

#include <imgui.h>
#include <imgui_internal.h>
#include <spdlog/logger.h>
#include <spdlog/sinks/null_sink.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

class Panels : public testing::Test {
protected:
    // The overlay owns the ImGui context.
    Panels()
    {
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(1280, 720);
        io.DeltaTime = 1.0f / 60.0f;
        // No window here: the clipboard is a string of the test.
        io.SetClipboardTextFn = [](void*, const char* text) { clipboard = text; };
        io.GetClipboardTextFn = [](void*) { return clipboard.c_str(); };
        io.Fonts->Build();
        ui.pendingActions = &pending;
        ui.exportFormats = &formats;
        ui.importers = &importers;
        ui.screenshotsPath = &shots;
        ui.logger = logger;
        itemProbe = [this](const char* label, ImVec2 a, ImVec2 b) { rects[label] = ImRect(a, b); };
        fileDialog = [this](const FileDialogRequest& request) {
            dialogs.push_back(request);
            return answer;
        };
    }
    ~Panels() override
    {
        itemProbe = nullptr;
        fileDialog = runZenityDialog;
    }

    // One frame of what the overlay draws.
    void frame()
    {
        rects.clear();
        ImGui::NewFrame();
        ui.drawMenuBar();
        ui.drawScreenshotAndLogButtons();
        ImGui::Render();
    }

    // Vertical position of a shown text, or -1.
    float top(const std::string& text) { return rects.count(text) ? rects[text].Min.y : -1.0f; }

    // Clicks each label in turn, as the frames before show it.
    void click(std::initializer_list<std::string> labels, int button = 0)
    {
        ImGuiIO& io = ImGui::GetIO();
        for (const std::string& label : labels) {
            ASSERT_TRUE(rects.count(label)) << label;
            io.MousePos = rects[label].GetCenter();
            frame();
            io.MouseDown[button] = true;
            frame();
            io.MouseDown[button] = false;
            frame();
            frame();
        }
    }

    uint64_t pending = 0;
    std::vector<ExportFormatInfo> formats{{"stl", "stl", "Stereolithography"}, {"ply", "ply", "Stanford Polygon"}};
    std::vector<ImporterInfo> importers{{"*.obj", "Wavefront Object Importer"}};
    std::filesystem::path shots = "/tmp/shots";
    std::shared_ptr<gui_log_sink_mt> sink = std::make_shared<gui_log_sink_mt>();
    std::shared_ptr<spdlog::logger> logger = std::make_shared<spdlog::logger>("panels", sink);
    UiDrawer ui{false, false, 0, 0};
    std::map<std::string, ImRect> rects;
    std::vector<FileDialogRequest> dialogs;
    std::optional<std::string> answer;
    static inline std::string clipboard;
};

const std::string Open = "\uF115 Open", Save = "\uF0C7 Save", Mesh = "\uF1DE Mesh", Help = "\uF059 Help";

} // namespace

TEST_F(Panels, OpenAndSaveGoThroughTheDialog)
{
    // A cancelled Open changes nothing.
    ui.modelPath = "/m/first.obj";
    frame();
    click({Open, "Select..."});
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].title, "Open a model file");
    EXPECT_EQ(dialogs[0].defaultPath, "/m/first.obj");
    EXPECT_EQ(ui.modelPath, "/m/first.obj");
    EXPECT_EQ(pending, 0u);

    answer = "/m/bunny.obj";
    click({Open, "Select..."});
    EXPECT_EQ(ui.modelPath, "/m/bunny.obj");
    EXPECT_EQ(pending, PendingAction::LoadRequested);

    // No Save while a load runs, nor without a model.
    answer = "/out/model.stl";
    pending = PendingAction::LoadRunning;
    click({Save, "stl (Stereolithography)"});
    ui.modelPath.clear();
    pending = 0;
    click({Save, "stl (Stereolithography)"});
    EXPECT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(pending, 0u);

    ui.modelPath = "/m/bunny.obj";
    click({Save, "ply (Stanford Polygon)"});
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_TRUE(dialogs[2].save);
    EXPECT_EQ(dialogs[2].defaultPath, "/m/bunny.obj.ply");
    EXPECT_EQ(ui.savePath, "/out/model.stl");
    EXPECT_EQ(ui.saveFormatId, "ply");
    EXPECT_EQ(pending, PendingAction::SaveRequested);
}

TEST_F(Panels, MenuItemsAndButtonsSetTheirRequests)
{
    frame();
    click({"\uF1B2 View", "Toggle Bounding-Box"});
    EXPECT_EQ(pending, PendingAction::ToggleBoundingBox);

    const bool before = ComputeVertexNormals.load();
    click({Open, "Options", "compute smooth normals"});
    EXPECT_EQ(ComputeVertexNormals.load(), !before);
    ComputeVertexNormals = before;

    click({Mesh, "Surface Remesh"});
    EXPECT_TRUE(ui.showRemesh && rects.count("Remesh"));
    click({Mesh, "Surface Remesh"});
    EXPECT_FALSE(ui.showRemesh || rects.count("Remesh"));

    // The screenshot button asks once; its folder field edits the path.
    pending = 0;
    click({"\uF083"});
    EXPECT_EQ(pending, PendingAction::ScreenshotRequested);
    pending = 0;
    frame();
    EXPECT_EQ(pending, 0u);

    click({"\uF083"}, 1);
    click({"\uF07B"});
    ImGui::GetIO().AddInputCharacter('x');
    frame();
    EXPECT_EQ(shots.string().size(), std::string("/tmp/shots").size() + 1);
    EXPECT_NE(shots.string().find('x'), std::string::npos);
    EXPECT_EQ(pending, 0u);
}

TEST_F(Panels, RemeshPanelClampsAndWaitsForTheRunningTask)
{
    // The size ratio is shown, and clamped, for adaptive remeshing only.
    ui.showRemesh = true;
    ui.targetDensity = 0.1f;
    ui.sizeRatio = 40.0f;
    frame();
    EXPECT_EQ(ui.targetDensity, 0.5f);
    EXPECT_EQ(ui.sizeRatio, 40.0f);
    EXPECT_FALSE(rects.count("##eratio"));
    ui.targetDensity = 12.0f;
    ui.remeshType = 1;
    frame();
    EXPECT_EQ(ui.targetDensity, 10.0f);
    EXPECT_EQ(ui.sizeRatio, 10.0f);
    EXPECT_TRUE(rects.count("##eratio"));

    pending = PendingAction::RemeshRunning;
    click({"Remesh", "Smooth", "Apply", "Restore"});
    EXPECT_EQ(pending, PendingAction::RemeshRunning);
    pending = 0;
    click({"Smooth", "Restore"});
    EXPECT_EQ(pending, PendingAction::SmoothRequested | PendingAction::RestoreRequested);
}

TEST_F(Panels, LogWindowShowsCopiesAndResetsTheLastMessages)
{
    frame();
    click({"\uF022"});
    ASSERT_TRUE(ui.showLog);
    for (int i = 1; i <= 3; ++i) logger->info("line {:03}", i);
    frame();
    EXPECT_GE(top("line 001"), 0.0f);
    EXPECT_LT(top("line 001"), top("line 002"));
    EXPECT_LT(top("line 002"), top("line 003"));

    // The last 64, oldest first, their texts unchanged.
    for (int i = 4; i <= 70; ++i) logger->info("line {:03}", i);
    logger->info("{}", "100% of %s %n done");
    frame();
    EXPECT_EQ(top("line 007"), -1.0f);
    EXPECT_GE(top("line 008"), 0.0f);
    EXPECT_LT(top("line 008"), top("line 070"));
    EXPECT_LT(top("line 070"), top("100% of %s %n done"));

    // Copy, then Reset, from the window's context menu.
    for (const char* item : {"Copy", "Reset"}) {
        ImGuiWindow* window = ImGui::FindWindowByName("Tamrel Log");
        ASSERT_NE(window, nullptr);
        rects["log window"] = window->Rect();
        click({"log window"}, 1);
        click({item});
    }
    EXPECT_TRUE(clipboard.starts_with(">> line 008\n>> line 009\n")) << clipboard;
    EXPECT_TRUE(clipboard.ends_with("\n>> line 070\n>> 100% of %s %n done\n")) << clipboard;
    EXPECT_EQ(sink->messageCount(), 0u);
    logger->info("third");
    frame();
    EXPECT_EQ(top("line 070"), -1.0f);
    EXPECT_GE(top("third"), 0.0f);
}

TEST_F(Panels, LicencesWindowKeepsItsSelection)
{
    frame();
    click({Help, "Licensing Information"});
    ASSERT_TRUE(ui.showLicences);
    EXPECT_GE(top("Open Asset Import Library"), 0.0f);
    EXPECT_LT(top("Open Asset Import Library"), top("xxHash"));
    click({"Embree"});
    EXPECT_EQ(ui.selectedLicence, 1u);
    EXPECT_GE(top(LicenceTable[1].second), 0.0f);

    ui.showLicences = false;
    frame();
    click({Help, "Licensing Information"});
    EXPECT_EQ(ui.selectedLicence, 1u);
    click({Help, "About Tamrel"});
    EXPECT_TRUE(ui.showAbout && rects.count("\uF0ED Get Latest Version"));
}

TEST(PanelRules, SinkLookUpAndPathBuffer)
{
    auto gui = std::make_shared<gui_log_sink_mt>();
    spdlog::logger both("both", {std::make_shared<spdlog::sinks::null_sink_mt>(), gui});
    spdlog::logger consoleOnly("console", std::make_shared<spdlog::sinks::null_sink_mt>());
    EXPECT_EQ(panels::guiLogSink(&both), gui);
    EXPECT_EQ(panels::guiLogSink(&consoleOnly), nullptr);
    EXPECT_EQ(panels::guiLogSink(nullptr), nullptr);

    // The folder field's buffer is cut, never overrun, and terminated.
    char buffer[8];
    panels::fillPathBuffer("/tmp/x", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "/tmp/x");
    panels::fillPathBuffer("/tmp/shots/long", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "/tmp/sh");
}

TEST(LicenceTable, NamesInOrderWithOneSharedApacheText)
{
    ASSERT_EQ(LicenceTable.size(), 13u);
    EXPECT_EQ(LicenceTable[0].first, "Open Asset Import Library");
    EXPECT_EQ(LicenceTable[1].first, "Embree");
    EXPECT_EQ(LicenceTable[10].first, "Intel TBB");
    EXPECT_EQ(LicenceTable[12].first, "xxHash");
    EXPECT_NE(LicenceTable[1].second.find("Apache License"), std::string::npos);
    EXPECT_EQ(LicenceTable[1].second, LicenceTable[10].second);
    EXPECT_EQ(LicenceTable[1].second, LicenceTable[11].second);
    // The others hold their own licence, without the continuation marks of
    // the Debian file.
    EXPECT_NE(LicenceTable[0].second.find("Redistribution and use"), std::string::npos);
    EXPECT_NE(LicenceTable[3].second.find("origin of this software must not be misrepresented"), std::string::npos);
    for (const auto& [name, text] : LicenceTable) {
        EXPECT_GT(text.size(), 40u) << name;
        EXPECT_EQ(text.find("\n .\n"), std::string::npos) << name;
    }
}
