// The overlay's rules without a window or a device: font scale, buffer
// sizing, scissors, the theme and its fonts, and the input bridge.

#include "UiDrawer.h"
#include "UiRules.h"
#include "UiStyle.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <set>
#include <string>

TEST(UiRules, FontScaleFollowsTheMonitorDpi)
{
    EXPECT_EQ(ui::screenDpi(1920, 0), 0u);  // no physical size reported
    EXPECT_EQ(ui::screenDpi(1920, 508), 96u);
    EXPECT_EQ(ui::screenDpi(3840, 406), 240u);
    EXPECT_FLOAT_EQ(ui::fontScaleForDpi(0), 1.5f);
    EXPECT_FLOAT_EQ(ui::fontScaleForDpi(96), 1.5f);
    EXPECT_FLOAT_EQ(ui::fontScaleForDpi(160), 1.5f);
    EXPECT_NEAR(ui::fontScaleForDpi(240), 1.995f, 1e-5f);
    EXPECT_NEAR(ui::fontScaleForDpi(400), 2.985f, 1e-5f);
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
    vk::Rect2D r;
    const float inside[4] = {10.5f, 20.0f, 110.9f, 60.0f};
    ASSERT_TRUE(ui::scissorFor(inside, extent, r));
    EXPECT_EQ(r, vk::Rect2D({10, 20}, {100, 40}));
    // Clipped on the left and top: the far edges stay where they were.
    const float leftTop[4] = {-30.0f, -5.0f, 50.0f, 40.0f};
    ASSERT_TRUE(ui::scissorFor(leftTop, extent, r));
    EXPECT_EQ(r, vk::Rect2D({0, 0}, {50, 40}));
    const float rightBottom[4] = {600.0f, 400.0f, 900.0f, 1000.0f};
    ASSERT_TRUE(ui::scissorFor(rightBottom, extent, r));
    EXPECT_EQ(r, vk::Rect2D({600, 400}, {40, 80}));
    for (const auto& clip : {std::array<float, 4>{50, 50, 40, 60}, std::array<float, 4>{50, 50, 50, 60},
                             std::array<float, 4>{700, 10, 800, 20}, std::array<float, 4>{-90, 10, -10, 20},
                             std::array<float, 4>{10, 500, 20, 600}}) {
        EXPECT_FALSE(ui::scissorFor(clip.data(), extent, r)) << clip[0] << " " << clip[1];
    }
}

namespace {

// A GUI overlay without Vulkan: its library context, style, fonts and input.
class UiBridge : public testing::Test {
protected:
    void SetUp() override
    {
        ui.fontScale = 1.5f;
        ui.setupStyleAndFonts();
        ImGui::GetIO().Fonts->Build();
        ImGui::GetIO().DisplaySize = ImVec2(800, 600);
    }

    void frame()
    {
        const float cursor[2] = {400, 300};
        ui.buildFrame(cursor, 60);
    }

    UiDrawer ui{false, false, 1, 0};
    ImGuiIO& io = ImGui::GetIO();
};

} // namespace

TEST_F(UiBridge, ThemeColoursLandInTheirSlotsByName)
{
    const auto& table = themeColours();
    std::set<int> slots;
    for (const ThemeColour& c : table) {
        if (c.slot < 0) continue;
        slots.insert(c.slot);
        const std::string name = c.name;
        const std::string now = ImGui::GetStyleColorName(c.slot);
        if (name == "ChildWindowBg") {
            EXPECT_EQ(now, "ChildBg");
        } else if (name == "ModalWindowDarkening") {
            EXPECT_EQ(now, "ModalWindowDimBg");
        } else {
            EXPECT_EQ(now, name);
        }
        const ImVec4& written = ImGui::GetStyle().Colors[c.slot];
        EXPECT_EQ(written.x, c.value.x) << name;
        EXPECT_EQ(written.w, c.value.w) << name;
    }
    EXPECT_EQ(slots.size(), 39u);  // ComboBg and the three close-button colours are gone
    // Slots the theme does not know keep the library's dark defaults.
    ImGuiStyle dark;
    ImGui::StyleColorsDark(&dark);
    EXPECT_EQ(ImGui::GetStyle().Colors[ImGuiCol_TabActive].x, dark.Colors[ImGuiCol_TabActive].x);
}

TEST_F(UiBridge, OneFontDrawsTextAndIconsAtTheScaledSize)
{
    ImFontAtlas& atlas = *io.Fonts;
    ASSERT_EQ(atlas.Fonts.Size, 1);  // the icons merged into the text font
    const ImFont& font = *atlas.Fonts[0];
    EXPECT_FLOAT_EQ(font.FontSize, 24.0f);
    EXPECT_NE(font.FindGlyphNoFallback('A'), nullptr);
    for (ImWchar icon : {0xF0C7, 0xF115, 0xF083, 0xF022, 0xF1DE}) {
        EXPECT_NE(font.FindGlyphNoFallback(icon), nullptr) << std::hex << icon;
    }
    EXPECT_EQ(font.FindGlyphNoFallback(0xF2E1), nullptr);
    EXPECT_GT(UiTextFontData.size(), 100000u);
    EXPECT_EQ(UiIconFontData.size(), 165548u);

    // A second set-up does not add the fonts twice.
    ui.setupStyleAndFonts();
    EXPECT_EQ(io.Fonts->Fonts.Size, 1);
}

TEST_F(UiBridge, KeysAndModifiers)
{
    ui.onKey(GLFW_KEY_UNKNOWN, GLFW_PRESS, 0);
    EXPECT_FALSE(io.KeyShift);
    ui.onKey(GLFW_KEY_LEFT_SHIFT, GLFW_PRESS, 0);
    ui.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_PRESS, 0);
    ui.onKey(GLFW_KEY_LEFT_SHIFT, GLFW_RELEASE, 0);
    EXPECT_TRUE(io.KeyShift);
    // The modifiers come from the table, not from the event's bits.
    io.KeyShift = false;
    ui.onKey(GLFW_KEY_UNKNOWN, GLFW_RELEASE, GLFW_MOD_CONTROL);
    EXPECT_TRUE(io.KeyShift);
    EXPECT_FALSE(io.KeyCtrl);
    ui.onKey(GLFW_KEY_RIGHT_SUPER, GLFW_PRESS, 0);
    EXPECT_TRUE(io.KeySuper);

    ui.onKey(GLFW_KEY_A, GLFW_PRESS, 0);
    ui.onKey(GLFW_KEY_A, GLFW_REPEAT, 0);
    EXPECT_TRUE(io.KeysDown[GLFW_KEY_A]);
    ui.onKey(GLFW_KEY_A, GLFW_RELEASE, 0);
    ui.onKey(GLFW_KEY_A, GLFW_REPEAT, 0);
    EXPECT_FALSE(io.KeysDown[GLFW_KEY_A]);
    EXPECT_EQ(io.KeyMap[ImGuiKey_Backspace], GLFW_KEY_BACKSPACE);
    EXPECT_EQ(io.KeyMap[ImGuiKey_Z], GLFW_KEY_Z);

    ui.onKey(GLFW_KEY_ENTER, GLFW_PRESS, 0);
    ui.onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, 0);
    ui.resetInput();
    EXPECT_FALSE(io.KeysDown[GLFW_KEY_ENTER]);
    EXPECT_FALSE(io.KeysDown[GLFW_KEY_RIGHT_SHIFT]);
    EXPECT_FALSE(io.MouseDown[1]);
    EXPECT_FALSE(io.KeyShift || io.KeyCtrl || io.KeyAlt || io.KeySuper);
}

TEST_F(UiBridge, ButtonsAndWheel)
{
    ui.onMouseButton(3, GLFW_PRESS, 0);
    ui.onMouseButton(4, GLFW_PRESS, 0);
    EXPECT_FALSE(io.MouseDown[3] || io.MouseDown[4]);

    // A click whose press and release come between two frames still
    // reaches the library: down in the next frame, up in the one after.
    ui.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
    ui.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
    EXPECT_TRUE(io.MouseDown[0]);
    frame();
    EXPECT_TRUE(ImGui::IsMouseClicked(ImGuiMouseButton_Left));
    EXPECT_FALSE(io.MouseDown[0]);
    frame();
    EXPECT_TRUE(ImGui::IsMouseReleased(ImGuiMouseButton_Left));
    // A release after a frame has seen the press is not held back.
    ui.onMouseButton(GLFW_MOUSE_BUTTON_MIDDLE, GLFW_PRESS, 0);
    frame();
    ui.onMouseButton(GLFW_MOUSE_BUTTON_MIDDLE, GLFW_RELEASE, 0);
    EXPECT_FALSE(io.MouseDown[2]);

    for (int i = 0; i < 3; ++i) ui.onScroll(0.5, 1.0);
    EXPECT_FLOAT_EQ(ui.wheelDelta, 3.0f);
    frame();
    EXPECT_FLOAT_EQ(ui.wheelDelta, 0.0f);
}

TEST_F(UiBridge, TheInformationOverlayNeverTakesInput)
{
    const float overOverlay[2] = {20, 20};
    ui.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
    ui.buildFrame(overOverlay, 60);
    ui.buildFrame(overOverlay, 60);
    EXPECT_FALSE(ui.wantCaptureMouse);
    EXPECT_FALSE(ui.wantCaptureKeyboard);
    EXPECT_STREQ(io.IniFilename, nullptr);
}
