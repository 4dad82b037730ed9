// The overlay's rules without a window or a device: font scale, buffer
// sizing, scissors, the theme and its fonts, the input bridge, and which of
// the overlay and the 3-D view an input event reaches.

#include "Application.h"
#include "RenderTestSupport.h"
#include "UiRules.h"
#include "UiStyle.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <array>
#include <memory>
#include <set>
#include <string>

TEST(UiRules, FontScaleFollowsTheMonitorDpi)
{
    EXPECT_EQ(ui::screenDpi(1920, 0), 0u);  // no physical size reported
    EXPECT_EQ(ui::screenDpi(1920, 508), 96u);
    EXPECT_EQ(ui::screenDpi(3840, 406), 240u);
    const std::pair<uint32_t, float> scales[] = {{0, 1.5f}, {96, 1.5f}, {160, 1.5f}, {240, 1.995f}, {400, 2.985f}};
    for (const auto& [dpi, scale] : scales) EXPECT_NEAR(ui::fontScaleForDpi(dpi), scale, 1e-5f) << dpi;
}

TEST(UiRules, BuffersAreMadeForEachNewTotalButNeverEmpty)
{
    EXPECT_TRUE(ui::needsNewBuffer(false, 0, 100));
    EXPECT_FALSE(ui::needsNewBuffer(true, 100, 100));
    EXPECT_TRUE(ui::needsNewBuffer(true, 100, 101));
    EXPECT_TRUE(ui::needsNewBuffer(true, 100, 99));
    EXPECT_FALSE(ui::needsNewBuffer(false, 0, 0));
    EXPECT_FALSE(ui::needsNewBuffer(true, 100, 0));
}

TEST(UiRules, ScissorsStayOnTheFramebuffer)
{
    const vk::Extent2D extent(640, 480);
    // Clipped on the left, top, right or bottom, the other edges stay put.
    const std::pair<std::array<float, 4>, vk::Rect2D> kept[] = {
        {{10.5f, 20.0f, 110.9f, 60.0f}, vk::Rect2D({10, 20}, {100, 40})},
        {{-30.0f, -5.0f, 50.0f, 40.0f}, vk::Rect2D({0, 0}, {50, 40})},
        {{600.0f, 400.0f, 900.0f, 1000.0f}, vk::Rect2D({600, 400}, {40, 80})}};
    vk::Rect2D r;
    for (const auto& [clip, expected] : kept) {
        ASSERT_TRUE(ui::scissorFor(clip.data(), extent, r)) << clip[0];
        EXPECT_EQ(r, expected) << clip[0];
    }
    // Reversed, empty or wholly off the framebuffer: nothing is drawn.
    for (const auto& clip : {std::array<float, 4>{50, 50, 40, 60}, std::array<float, 4>{50, 50, 50, 60},
                             std::array<float, 4>{700, 10, 800, 20}, std::array<float, 4>{-90, 10, -10, 20},
                             std::array<float, 4>{10, 500, 20, 600}}) {
        EXPECT_FALSE(ui::scissorFor(clip.data(), extent, r)) << clip[0] << " " << clip[1];
    }
}

namespace {

// The application without a window: its GUI overlay with style, fonts and
// input bridge, and the callbacks that route input by the overlay's
// want-capture flags.
class UiOverlay : public testing::Test {
protected:
    static void SetUpTestSuite() { rendertest::logText(); }
    void SetUp() override
    {
        ui.fontScale = 1.5f;
        ui.setupStyleAndFonts();
        io.Fonts->Build();
        io.DisplaySize = ImVec2(800, 600);
    }

    void frame(float x = 400, float y = 300)
    {
        const float at[2] = {x, y};
        ui.buildFrame(at, 60);
    }

    // Held by pointer: the document's destructor may throw, a test's may not.
    std::unique_ptr<Application> owner = std::make_unique<Application>();
    Application& app = *owner;
    UiDrawer& ui = app.uiDrawer;
    MouseControl& mouse = app.meshDrawer.mouseControl;
    ImGuiIO& io = ImGui::GetIO();
    const glm::vec2 cursor{100, 100};
};

} // namespace

TEST_F(UiOverlay, ThemeAndOneFontForTextAndIcons)
{
    // Each named colour sits in the slot of that name (two were renamed).
    std::set<int> slots;
    for (const ThemeColour& c : themeColours()) {
        if (c.slot < 0) continue;
        slots.insert(c.slot);
        const std::string name = c.name;
        const std::string renamed = name == "ChildWindowBg"          ? "ChildBg"
                                    : name == "ModalWindowDarkening" ? "ModalWindowDimBg"
                                                                     : name;
        EXPECT_EQ(ImGui::GetStyleColorName(c.slot), renamed);
    }
    EXPECT_EQ(slots.size(), 39u);  // ComboBg and the three close-button colours are gone

    // The icons merged into the text font, at the scaled size; a second
    // set-up does not add the fonts twice.
    ui.setupStyleAndFonts();
    io.Fonts->Build();
    ASSERT_EQ(io.Fonts->Fonts.Size, 1);
    const ImFont& font = *io.Fonts->Fonts[0];
    EXPECT_FLOAT_EQ(font.FontSize, 24.0f);
    for (ImWchar glyph : {ImWchar('A'), ImWchar(0xF0C7), ImWchar(0xF115), ImWchar(0xF083), ImWchar(0xF1DE)}) {
        EXPECT_NE(font.FindGlyphNoFallback(glyph), nullptr) << std::hex << glyph;
    }
    EXPECT_EQ(font.FindGlyphNoFallback(0xF2E1), nullptr);  // outside the icon range
}

TEST_F(UiOverlay, KeyMapAndModifiersFromTheKeyTable)
{
    EXPECT_EQ(io.KeyMap[ImGuiKey_Backspace], GLFW_KEY_BACKSPACE);
    ui.onKey(GLFW_KEY_UNKNOWN, GLFW_PRESS, 0);
    ui.onKey(GLFW_KEY_LEFT_SHIFT, GLFW_PRESS, 0);
    ui.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_PRESS, 0);
    ui.onKey(GLFW_KEY_LEFT_SHIFT, GLFW_RELEASE, 0);
    EXPECT_TRUE(io.KeyShift);
    // Recomputed from the table, not taken from the event's bits.
    io.KeyShift = false;
    ui.onKey(GLFW_KEY_UNKNOWN, GLFW_RELEASE, GLFW_MOD_CONTROL);
    EXPECT_TRUE(io.KeyShift);
    EXPECT_FALSE(io.KeyCtrl);
    ui.onKey(GLFW_KEY_RIGHT_SUPER, GLFW_PRESS, 0);
    EXPECT_TRUE(io.KeySuper);
    // A repeat neither presses nor releases.
    ui.onKey(GLFW_KEY_A, GLFW_PRESS, 0);
    ui.onKey(GLFW_KEY_A, GLFW_REPEAT, 0);
    EXPECT_TRUE(io.KeysDown[GLFW_KEY_A]);
    ui.onKey(GLFW_KEY_A, GLFW_RELEASE, 0);
    ui.onKey(GLFW_KEY_A, GLFW_REPEAT, 0);
    EXPECT_FALSE(io.KeysDown[GLFW_KEY_A]);
}

TEST_F(UiOverlay, TypingIntoTheGuiFiresNoShortcutAndCharactersAlwaysReachIt)
{
    ui.wantCaptureKeyboard = true;
    app.onKey(GLFW_KEY_LEFT_SHIFT, GLFW_PRESS, GLFW_MOD_SHIFT);
    for (int key : {GLFW_KEY_G, GLFW_KEY_SPACE, GLFW_KEY_R, GLFW_KEY_TAB}) app.onKey(key, GLFW_PRESS, 0);
    EXPECT_EQ(app.pendingActions, 0u);
    EXPECT_TRUE(io.KeysDown[GLFW_KEY_G] && io.KeyShift);
    EXPECT_EQ(app.shiftHeld, 0);  // the 3-D view did not see the press

    // Shift held in the 3-D view and let go while typing is not left held.
    ui.wantCaptureKeyboard = false;
    app.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_PRESS, GLFW_MOD_SHIFT);
    ui.wantCaptureKeyboard = true;
    app.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_RELEASE, 0);
    ui.wantCaptureKeyboard = false;
    app.onKey(GLFW_KEY_G, GLFW_PRESS, 0);
    EXPECT_EQ(app.pendingActions, PendingAction::ToggleGrid);

    io.InputQueueCharacters.resize(0);
    for (unsigned c : {unsigned('a'), 0u, 0x1F600u, 0xE9u}) Application::charCallback(nullptr, c);
    // Zero and code points beyond 16 bits are dropped.
    ASSERT_EQ(io.InputQueueCharacters.Size, 2);
    EXPECT_EQ(io.InputQueueCharacters[0], 'a');
    EXPECT_EQ(io.InputQueueCharacters[1], 0xE9);
}

TEST_F(UiOverlay, ButtonsAndWheelGoWhereTheGuiWantsThem)
{
    // Over a GUI window only the GUI sees them; it knows three buttons.
    ui.wantCaptureMouse = true;
    const float zoomBefore = mouse.zoomFactor;
    for (int button : {3, 4, GLFW_MOUSE_BUTTON_LEFT}) app.onMouseButton(button, GLFW_PRESS, cursor);
    app.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, cursor);
    for (int i = 0; i < 3; ++i) app.onScroll(0.5, 1.0);
    EXPECT_FALSE(io.MouseDown[3] || io.MouseDown[4] || mouse.rotating);
    EXPECT_EQ(mouse.zoomFactor, zoomBefore);
    EXPECT_FLOAT_EQ(ui.wheelDelta, 3.0f);
    // A click whose press and release come between two frames still
    // reaches the library: down in the next frame, up in the one after.
    EXPECT_TRUE(io.MouseDown[0]);
    frame();
    EXPECT_TRUE(ImGui::IsMouseClicked(ImGuiMouseButton_Left));
    EXPECT_FALSE(io.MouseDown[0]);
    EXPECT_FLOAT_EQ(ui.wheelDelta, 0.0f);
    frame();
    EXPECT_TRUE(ImGui::IsMouseReleased(ImGuiMouseButton_Left));
    // A release after a frame has seen the press is not held back.
    ui.wantCaptureMouse = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_MIDDLE, GLFW_PRESS, cursor);
    frame();
    ui.wantCaptureMouse = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_MIDDLE, GLFW_RELEASE, cursor);
    EXPECT_FALSE(io.MouseDown[2]);

    // Over the 3-D view: the camera turns and the GUI forgets its buttons.
    ui.wantCaptureMouse = false;
    io.MouseDown[1] = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, cursor);
    EXPECT_TRUE(mouse.rotating);
    EXPECT_FALSE(io.MouseDown[1]);
    app.onScroll(0.0, 1.0);
    EXPECT_EQ(mouse.zoomFactor, ZoomInFactor);
    EXPECT_FLOAT_EQ(ui.wheelDelta, 0.0f);

    // A drag begun in the 3-D view keeps the mouse over a GUI window.
    ui.wantCaptureMouse = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, cursor);
    EXPECT_FALSE(mouse.rotating);
    EXPECT_FALSE(io.MouseDown[0]);
}

TEST_F(UiOverlay, TheInformationOverlayNeverTakesInput)
{
    ui.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
    frame(20, 20);
    frame(20, 20);
    EXPECT_FALSE(ui.wantCaptureMouse || ui.wantCaptureKeyboard);
    EXPECT_STREQ(io.IniFilename, nullptr);
}

TEST_F(UiOverlay, FocusLossReleasesEverything)
{
    ui.wantCaptureKeyboard = true;
    app.onKey(GLFW_KEY_BACKSPACE, GLFW_PRESS, 0);
    app.onKey(GLFW_KEY_LEFT_ALT, GLFW_PRESS, GLFW_MOD_ALT);
    ui.wantCaptureKeyboard = false;
    app.onKey(GLFW_KEY_LEFT_CONTROL, GLFW_PRESS, GLFW_MOD_CONTROL);
    ui.wantCaptureMouse = true;
    app.onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, cursor);
    ASSERT_TRUE(io.KeysDown[GLFW_KEY_BACKSPACE] && io.KeyAlt && io.MouseDown[1]);

    app.onFocus(false, cursor);
    EXPECT_EQ(app.focused, 0);
    EXPECT_FALSE(io.KeysDown[GLFW_KEY_BACKSPACE] || io.KeyAlt || io.MouseDown[1]);
    EXPECT_EQ(app.ctrlHeld, 0);
    app.onFocus(true, cursor);
    EXPECT_EQ(app.focused, 1);
}
