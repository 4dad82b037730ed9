// The built application driven as a user would: keys through the X server,
// a window resize, screenshots written through Space; the validation layer
// watches the whole run.

#include "ProcessRunner.h"
#include "RgbaImage.h"
#include "XWindows.h"

#include <gtest/gtest.h>

#include <filesystem>
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
    const std::string command = "xdotool search --name '^Tamrel$' windowfocus --sync key --delay 50 " + keys +
                                " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::this_thread::sleep_for(400ms);
}

ProcessResult closeAndWait(ChildProcess& app)
{
    EXPECT_TRUE(xwin::requestClose("Tamrel"));
    return app.wait(60s);
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
    ASSERT_TRUE(xwin::resize("Tamrel", 640, 480));
    std::this_thread::sleep_for(1s);
    press("g l");                // sketch on again after the rebuild
    ASSERT_TRUE(xwin::resize("Tamrel", 800, 500));
    std::this_thread::sleep_for(1s);

    const ProcessResult r = closeAndWait(app);
    expectCleanRun(r);
    EXPECT_NE(r.out.find("Can not render wireframe under edge detection mode."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Edge detection is disabled under wireframe rendering mode."), std::string::npos)
        << r.out;
}
