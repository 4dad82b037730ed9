// The built application driven as a user would: keys through the X server,
// a window resize, screenshots written through Space; the validation layer
// watches the whole run.

#include "ProcessRunner.h"
#include "RgbaImage.h"
#include "XWindows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::map<std::string, std::string> validation = {
    {"VK_INSTANCE_LAYERS", "VK_LAYER_KHRONOS_validation"},
    {"VK_LAYER_ENABLES", "VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT"}};

// Keys go to the focused window through the XTEST extension.
void press(const std::string& keys)
{
    const unsigned long id = xwin::findWindow("Tamrel");
    ASSERT_NE(id, 0u) << "no Tamrel window of this test";
    const std::string command =
        "xdotool windowfocus --sync " + std::to_string(id) + " key --delay 50 " + keys + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::this_thread::sleep_for(400ms);
}

ProcessResult closeAndWait(ChildProcess& app)
{
    const std::string title = xwin::titleStartingWith("Tamrel");
    EXPECT_TRUE(xwin::requestClose(title));
    return xwin::waitForClose(app, title, 60s);
}

void expectCleanRun(const ProcessResult& r)
{
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Validation"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("Validation"), std::string::npos) << r.err;
}

} // namespace

TEST(AppViewer, RenderSettingKeysAndResizeUnderValidation)
{
    ChildProcess app(TAMREL_EXE, {}, validation);
    ASSERT_TRUE(xwin::waitForTitle("Tamrel", 60)) << app.output();
    std::this_thread::sleep_for(500ms);

    press("Tab Tab Tab");        // Phong -> matcap -> next textures
    press("g shift+g shift+g");  // edge overlay, wireframe, matcap
    press("l");                  // sketch on
    press("g");                  // refused in sketch mode
    press("l v v n o i x b r");
    press("g l");                // refused: no sketch with the edge overlay
    ASSERT_TRUE(xwin::resize(xwin::titleStartingWith("Tamrel"), 640, 480));
    std::this_thread::sleep_for(1s);
    press("g l");                // sketch on again after the rebuild
    ASSERT_TRUE(xwin::resize(xwin::titleStartingWith("Tamrel"), 800, 500));
    std::this_thread::sleep_for(1s);

    const ProcessResult r = closeAndWait(app);
    expectCleanRun(r);
    EXPECT_NE(r.out.find("Can not render wireframe under edge detection mode."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Edge detection is disabled under wireframe rendering mode."), std::string::npos)
        << r.out;
}

TEST(AppViewer, SpaceWritesScreenshotsOfTheLoadedModel)
{
    const fs::path model = "/usr/share/assimp/models/PLY/Wuson.ply";
    if (!fs::exists(model)) GTEST_SKIP() << "assimp test models not installed";
    const fs::path dir = fs::path(TAMREL_EXE).parent_path() / "screenshots";
    std::set<fs::path> before;
    if (fs::is_directory(dir)) {
        for (const auto& e : fs::directory_iterator(dir)) before.insert(e.path());
    }

    ChildProcess app(TAMREL_EXE, {model.string()}, validation);
    ASSERT_TRUE(xwin::waitForTitle("Tamrel | Wuson.ply", 60, true)) << app.output();
    std::this_thread::sleep_for(1s);
    press("space");
    // Each shot in its own second, so that none replaces another.
    std::this_thread::sleep_for(1100ms);
    press("l space");
    ASSERT_TRUE(xwin::resize(xwin::titleStartingWith("Tamrel"), 640, 480));
    std::this_thread::sleep_for(1100ms);
    press("space");
    const ProcessResult r = closeAndWait(app);
    expectCleanRun(r);

    std::vector<fs::path> added;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (!before.count(e.path())) added.push_back(e.path());
    }
    ASSERT_EQ(added.size(), 3u) << r.out;
    size_t litPixels = 0;
    for (const fs::path& p : added) {
        EXPECT_EQ(p.extension(), ".png");
        EXPECT_EQ(p.stem().string().size(), 15u) << p;  // %Y%m%d_%H%M%S
        const RgbaImage img(p.string());
        for (size_t i = 0; i < size_t(img.width) * img.height * 4; i += 4) litPixels += img.pixels[i] > 40;
        // The GUI overlay's title line stands out from the background in
        // the top-left corner of every shot, in sketch mode too.
        size_t textPixels = 0;
        for (uint32_t y = 0; y < 30; ++y) {
            for (uint32_t x = 0; x < 250; ++x) {
                textPixels += std::abs(int(img.pixels[(y * img.width + x) * 4]) - int(img.pixels[0])) > 30;
            }
        }
        EXPECT_GT(textPixels, 100u) << p;
        fs::remove(p);
    }
    // The model is on screen, not just the axis of an empty document.
    EXPECT_GT(litPixels, 10000u);
    EXPECT_NE(r.out.find("New screenshot : " + dir.string()), std::string::npos) << r.out;
}

TEST(AppViewer, MouseDragAndWheelMoveTheView)
{
    const fs::path model = "/usr/share/assimp/models/PLY/Wuson.ply";
    if (!fs::exists(model)) GTEST_SKIP() << "assimp test models not installed";
    const fs::path dir = fs::path(TAMREL_EXE).parent_path() / "screenshots";
    std::set<fs::path> before;
    if (fs::is_directory(dir)) {
        for (const auto& e : fs::directory_iterator(dir)) before.insert(e.path());
    }
    auto xdo = [](const std::string& args) {
        const std::string command = "xdotool " + args + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::this_thread::sleep_for(150ms);
    };

    ChildProcess app(TAMREL_EXE, {model.string()}, validation);
    ASSERT_TRUE(xwin::waitForTitle("Tamrel | Wuson.ply", 60, true)) << app.output();
    std::this_thread::sleep_for(1s);
    press("space");
    std::this_thread::sleep_for(1100ms);
    // A slow left drag rotates without leaving a spin behind.
    const std::string id = std::to_string(xwin::findWindow("Tamrel"));
    xdo("windowfocus --sync " + id + " mousemove --window " + id + " 500 380");
    xdo("mousedown 1");
    for (int x = 510; x <= 600; x += 3) xdo("mousemove_relative -- 3 0");
    xdo("mouseup 1");
    press("space");
    std::this_thread::sleep_for(1100ms);
    // Ctrl+wheel zooms towards the cursor.
    xdo("keydown ctrl click 4 click 4 click 4 keyup ctrl");
    press("space");
    const ProcessResult r = closeAndWait(app);
    expectCleanRun(r);

    std::vector<fs::path> added;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (!before.count(e.path())) added.push_back(e.path());
    }
    std::sort(added.begin(), added.end());
    ASSERT_EQ(added.size(), 3u) << r.out;
    std::vector<std::vector<uint8_t>> pictures;
    for (const fs::path& p : added) {
        const RgbaImage img(p.string());
        pictures.emplace_back(img.pixels, img.pixels + size_t(img.width) * img.height * 4);
        fs::remove(p);
    }
    EXPECT_NE(pictures[0], pictures[1]) << "the drag did not rotate the view";
    EXPECT_NE(pictures[1], pictures[2]) << "the wheel did not zoom";
}
