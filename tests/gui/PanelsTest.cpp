// The menu bar and the panels on a headless Dear ImGui context: items are
// found by label through the item probe and clicked with the mouse state of
// the following frames; shown data texts are reported by the probe too.

#include "Config.h"
#include "FileDialog.h"
#include "GuiLogSink.h"
#include "ItemProbe.h"
#include "LicenceTable.h"
#include "PendingActions.h"
#include "TriMesh.h"
#include "UiDrawer.h"

#include <imgui.h>
#include <imgui_internal.h>
#include <spdlog/logger.h>

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
        unsigned char* pixels;
        int w, h;
        io.Fonts->GetTexDataAsAlpha8(&pixels, &w, &h);

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

    void click(const std::string& label, int button = 0)
    {
        ASSERT_TRUE(rects.count(label)) << label;
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = rects[label].GetCenter();
        frame();
        io.MouseDown[button] = true;
        frame();
        io.MouseDown[button] = false;
        frame();
        frame();
    }

    void clickMenu(const std::string& menu, const std::string& item)
    {
        click(menu);
        click(item);
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

} // namespace

TEST_F(Panels, MenuBarSitsOnTheBottomEdge)
{
    frame();
    float x = -1.0f;
    for (const char* menu : {"\uF115 Open", "\uF0C7 Save", "\uF1DE Mesh", "\uF1B2 View", "\uF059 Help"}) {
        ASSERT_TRUE(rects.count(menu)) << menu;
        EXPECT_GT(rects[menu].Min.x, x) << menu;
        EXPECT_NEAR(rects[menu].Max.y, 720.0f, 2.0f) << menu;
        x = rects[menu].Min.x;
    }
    frame();
    // The bar's window is wide enough to show all five.
    ImGuiWindow* bar = ImGui::FindWindowByName("MenuBar");
    ASSERT_NE(bar, nullptr);
    EXPECT_GE(bar->Rect().Max.x, rects["\uF059 Help"].Max.x);
}

TEST_F(Panels, OpenDialogCancelChangesNothing)
{
    ui.modelPath = "/m/first.obj";
    frame();
    clickMenu("\uF115 Open", "Select...");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].title, "Open a model file");
    EXPECT_EQ(dialogs[0].defaultPath, "/m/first.obj");
    EXPECT_EQ(ui.modelPath, "/m/first.obj");
    EXPECT_EQ(pending, 0u);

    answer = "/m/second.obj";
    clickMenu("\uF115 Open", "Select...");
    EXPECT_EQ(ui.modelPath, "/m/second.obj");
    EXPECT_EQ(pending, PendingAction::LoadRequested);
}

TEST_F(Panels, SaveItemsFollowTheirEnableRule)
{
    answer = "/out/model.stl";
    frame();
    clickMenu("\uF0C7 Save", "stl (Stereolithography)");
    EXPECT_TRUE(dialogs.empty());

    ui.modelPath = "/m/bunny.obj";
    pending = PendingAction::LoadRunning;
    clickMenu("\uF0C7 Save", "stl (Stereolithography)");
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(pending, PendingAction::LoadRunning);

    pending = 0;
    clickMenu("\uF0C7 Save", "ply (Stanford Polygon)");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].defaultPath, "/m/bunny.obj.ply");
    EXPECT_EQ(ui.savePath, "/out/model.stl");
    EXPECT_EQ(ui.saveFormatId, "ply");
    EXPECT_EQ(pending, PendingAction::SaveRequested);
}

TEST_F(Panels, ViewItemsAndOptionsAndTheMeshToggle)
{
    frame();
    clickMenu("\uF1B2 View", "Toggle Bounding-Box");
    EXPECT_EQ(pending, PendingAction::ToggleBoundingBox);

    const bool before = ComputeVertexNormals.load();
    click("\uF115 Open");
    click("Options");
    click("compute smooth normals");
    EXPECT_EQ(ComputeVertexNormals.load(), !before);
    ComputeVertexNormals = before;

    clickMenu("\uF1DE Mesh", "Surface Remesh");
    EXPECT_TRUE(ui.showRemesh);
    EXPECT_TRUE(rects.count("Remesh"));
    clickMenu("\uF1DE Mesh", "Surface Remesh");
    EXPECT_FALSE(ui.showRemesh);
    EXPECT_FALSE(rects.count("Remesh"));
}

TEST_F(Panels, RemeshPanelClampsAndShowsTheSizeRatioForAdaptiveOnly)
{
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
}

TEST_F(Panels, RemeshButtonsWaitForTheRunningTask)
{
    ui.showRemesh = true;
    pending = PendingAction::RemeshRunning;
    frame();
    for (const char* button : {"Remesh", "Smooth", "Apply", "Restore"}) click(button);
    EXPECT_EQ(pending, PendingAction::RemeshRunning);

    pending = 0;
    click("Smooth");
    EXPECT_EQ(pending, PendingAction::SmoothRequested);
    click("Restore");
    EXPECT_EQ(pending, PendingAction::SmoothRequested | PendingAction::RestoreRequested);
}

TEST_F(Panels, LogWindowShowsTheLastMessagesOldestFirstAndUnchanged)
{
    frame();
    click("\uF022");
    ASSERT_TRUE(ui.showLog);
    for (int i = 1; i <= 3; ++i) logger->info("line {:03}", i);
    frame();
    EXPECT_GE(top("line 001"), 0.0f);
    EXPECT_LT(top("line 001"), top("line 002"));
    EXPECT_LT(top("line 002"), top("line 003"));

    for (int i = 4; i <= 70; ++i) logger->info("line {:03}", i);
    logger->info("{}", "100% of %s %n done");
    frame();
    EXPECT_EQ(top("line 007"), -1.0f);
    EXPECT_GE(top("line 008"), 0.0f);
    EXPECT_LT(top("line 008"), top("line 070"));
    EXPECT_LT(top("line 070"), top("100% of %s %n done"));
}

TEST_F(Panels, LogWindowCopiesAndResets)
{
    ui.showLog = true;
    logger->info("first");
    logger->info("second 50%");
    frame();
    const auto openContextMenu = [this] {
        ImGuiWindow* window = ImGui::FindWindowByName("Tamrel Log");
        ASSERT_NE(window, nullptr);
        rects["log window"] = window->Rect();
        click("log window", 1);
    };
    openContextMenu();
    click("Copy");
    EXPECT_EQ(clipboard, ">> first\n>> second 50%\n");

    openContextMenu();
    click("Reset");
    EXPECT_EQ(sink->messageCount(), 0u);
    logger->info("third");
    frame();
    EXPECT_EQ(top("first"), -1.0f);
    EXPECT_GE(top("third"), 0.0f);
}

TEST_F(Panels, ScreenshotButtonAndItsFolderField)
{
    frame();
    click("\uF083");
    EXPECT_EQ(pending, PendingAction::ScreenshotRequested);
    pending = 0;
    frame();
    EXPECT_EQ(pending, 0u);

    click("\uF083", 1);
    click("\uF07B");
    ImGui::GetIO().AddInputCharacter('x');
    frame();
    EXPECT_EQ(shots.string().size(), std::string("/tmp/shots").size() + 1);
    EXPECT_NE(shots.string().find('x'), std::string::npos);
    EXPECT_EQ(pending, 0u);
}

TEST_F(Panels, LicencesWindowKeepsItsSelection)
{
    frame();
    clickMenu("\uF059 Help", "Licensing Information");
    ASSERT_TRUE(ui.showLicences);
    frame();
    EXPECT_GE(top("Open Asset Import Library"), 0.0f);
    EXPECT_LT(top("Open Asset Import Library"), top("xxHash"));
    click("Embree");
    EXPECT_EQ(ui.selectedLicence, 1u);
    EXPECT_GE(top(LicenceTable[1].second), 0.0f);

    ui.showLicences = false;
    frame();
    clickMenu("\uF059 Help", "Licensing Information");
    EXPECT_EQ(ui.selectedLicence, 1u);

    clickMenu("\uF059 Help", "About Tamrel");
    EXPECT_TRUE(ui.showAbout);
    EXPECT_TRUE(rects.count("\uF0ED Get Latest Version"));
}
