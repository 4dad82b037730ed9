// Which of the GUI overlay and the 3-D view an input event reaches, decided
// by the application's callbacks from the overlay's want-capture flags.

#include "Application.h"
#include "RenderTestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <memory>

namespace {

class UiRouting : public testing::Test {
protected:
    static void SetUpTestSuite() { rendertest::logText(); }

    // Held by pointer: the document's destructor may throw, a test's may not.
    std::unique_ptr<Application> owner = std::make_unique<Application>();
    Application& app = *owner;
    UiDrawer& ui = app.uiDrawer;
    ImGuiIO& io = ImGui::GetIO();
    const glm::vec2 cursor{100, 100};
};

} // namespace

TEST_F(UiRouting, TypingIntoTheGuiFiresNoShortcut)
{
    ui.wantCaptureKeyboard = true;
    app.onKey(GLFW_KEY_LEFT_SHIFT, GLFW_PRESS, GLFW_MOD_SHIFT);
    for (int key : {GLFW_KEY_G, GLFW_KEY_SPACE, GLFW_KEY_R, GLFW_KEY_TAB}) app.onKey(key, GLFW_PRESS, 0);
    EXPECT_EQ(app.pendingActions, 0u);
    EXPECT_TRUE(io.KeysDown[GLFW_KEY_G]);
    EXPECT_TRUE(io.KeyShift);
    EXPECT_EQ(app.shiftHeld, 0);  // the 3-D view did not see the press

    // Shift held in the 3-D view and let go while typing is not left held.
    ui.wantCaptureKeyboard = false;
    app.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_PRESS, GLFW_MOD_SHIFT);
    ui.wantCaptureKeyboard = true;
    app.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_RELEASE, 0);
    ui.wantCaptureKeyboard = false;
    app.onKey(GLFW_KEY_G, GLFW_PRESS, 0);
    EXPECT_EQ(app.pendingActions, PendingAction::ToggleGrid);
}

TEST_F(UiRouting, CharactersAlwaysReachTheGui)
{
    io.InputQueueCharacters.resize(0);
    Application::charCallback(nullptr, 'a');
    Application::charCallback(nullptr, 0);
    Application::charCallback(nullptr, 0x1F600);  // beyond 16 bits: dropped
    Application::charCallback(nullptr, 0xE9);
    ASSERT_EQ(io.InputQueueCharacters.Size, 2);
    EXPECT_EQ(io.InputQueueCharacters[0], 'a');
    EXPECT_EQ(io.InputQueueCharacters[1], 0xE9);
}

TEST_F(UiRouting, ButtonsAndWheelGoWhereTheGuiWantsThem)
{
    MouseControl& mouse = app.meshDrawer.mouseControl;
    ui.wantCaptureMouse = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, cursor);
    EXPECT_TRUE(io.MouseDown[0]);
    EXPECT_FALSE(mouse.rotating);
    const float zoomBefore = mouse.zoomFactor;
    app.onScroll(0.0, 1.0);
    app.onScroll(0.0, 1.0);
    EXPECT_FLOAT_EQ(ui.wheelDelta, 2.0f);
    EXPECT_EQ(mouse.zoomFactor, zoomBefore);
    app.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, cursor);
    EXPECT_TRUE(io.MouseDown[0]);  // no frame saw the press yet: kept for the next one
    EXPECT_FALSE(mouse.rotating);

    // Over the 3-D view: the camera turns and the GUI forgets its buttons.
    ui.wantCaptureMouse = false;
    io.MouseDown[1] = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, cursor);
    EXPECT_TRUE(mouse.rotating);
    EXPECT_FALSE(io.MouseDown[1]);
    app.onScroll(0.0, 1.0);
    EXPECT_EQ(mouse.zoomFactor, ZoomInFactor);
    EXPECT_FLOAT_EQ(ui.wheelDelta, 2.0f);

    // A drag begun in the 3-D view keeps the mouse over a GUI window.
    ui.wantCaptureMouse = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, cursor);
    EXPECT_FALSE(mouse.rotating);
    EXPECT_FALSE(io.MouseDown[0]);
}

TEST_F(UiRouting, FocusLossReleasesEverything)
{
    ui.wantCaptureKeyboard = true;
    app.onKey(GLFW_KEY_BACKSPACE, GLFW_PRESS, 0);
    ui.wantCaptureKeyboard = false;
    app.onKey(GLFW_KEY_LEFT_CONTROL, GLFW_PRESS, GLFW_MOD_CONTROL);
    ui.wantCaptureMouse = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, cursor);
    ASSERT_TRUE(io.KeysDown[GLFW_KEY_BACKSPACE] && io.MouseDown[1]);

    app.onFocus(false, cursor);
    EXPECT_EQ(app.focused, 0);
    EXPECT_FALSE(io.KeysDown[GLFW_KEY_BACKSPACE]);
    EXPECT_FALSE(io.MouseDown[1]);
    EXPECT_EQ(app.ctrlHeld, 0);
    app.onFocus(true, cursor);
    EXPECT_EQ(app.focused, 1);
}
