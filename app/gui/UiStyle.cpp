// The overlay's style and its one merged font of text and icons.

#include "UiDrawer.h"
#include "UiStyle.h"

#include <cstddef>
#include <cstring>

extern const unsigned char UiTextFontBytes[];
extern const std::size_t UiTextFontBytesSize;
extern const unsigned char UiIconFontBytes[];
extern const std::size_t UiIconFontBytesSize;

const std::span<const unsigned char> UiTextFontData(UiTextFontBytes, UiTextFontBytesSize);
const std::span<const unsigned char> UiIconFontData(UiIconFontBytes, UiIconFontBytesSize);

const ImWchar IconGlyphRanges[3] = {0xF000, 0xF2E0, 0};

namespace {

ImVec4 withAlpha(const ImVec4& c, float alpha)
{
    return ImVec4(c.x, c.y, c.z, alpha);
}

} // namespace

const std::array<ThemeColour, 43>& themeColours()
{
    // Crimson, slate, cyan, pale and sky: most colours derive from these.
    const ImVec4 R(0.92f, 0.18f, 0.29f, 1.0f);
    const ImVec4 S(0.20f, 0.22f, 0.27f, 1.0f);
    const ImVec4 C(0.47f, 0.77f, 0.83f, 1.0f);
    const ImVec4 P(0.86f, 0.93f, 0.89f, 1.0f);
    const ImVec4 L(0.27f, 0.71f, 1.00f, 1.0f);
    // Combo backgrounds and close buttons have no colours of their own any
    // more (they use the popup and button colours); the child-window and
    // modal-dimming slots were renamed.
    static const std::array<ThemeColour, 43> table = {{
        {"Text", ImGuiCol_Text, ImVec4(1.00f, 1.00f, 1.00f, 1.00f)},
        {"TextDisabled", ImGuiCol_TextDisabled, withAlpha(P, 0.28f)},
        {"WindowBg", ImGuiCol_WindowBg, ImVec4(0.13f, 0.14f, 0.17f, 1.00f)},
        {"ChildWindowBg", ImGuiCol_ChildBg, withAlpha(S, 0.90f)},
        {"PopupBg", ImGuiCol_PopupBg, ImVec4(0.05f, 0.05f, 0.10f, 0.90f)},
        {"Border", ImGuiCol_Border, ImVec4(0.31f, 0.31f, 1.00f, 0.00f)},
        {"BorderShadow", ImGuiCol_BorderShadow, ImVec4(0.00f, 0.00f, 0.00f, 0.00f)},
        {"FrameBg", ImGuiCol_FrameBg, withAlpha(S, 0.50f)},
        {"FrameBgHovered", ImGuiCol_FrameBgHovered, withAlpha(R, 0.60f)},
        {"FrameBgActive", ImGuiCol_FrameBgActive, withAlpha(R, 0.60f)},
        {"TitleBg", ImGuiCol_TitleBg, withAlpha(S, 1.00f)},
        {"TitleBgActive", ImGuiCol_TitleBgActive, ImVec4(0.78f, 0.20f, 0.27f, 0.90f)},
        {"TitleBgCollapsed", ImGuiCol_TitleBgCollapsed, withAlpha(S, 0.80f)},
        {"MenuBarBg", ImGuiCol_MenuBarBg, ImVec4(0.00f, 0.00f, 0.00f, 0.22f)},
        {"ScrollbarBg", ImGuiCol_ScrollbarBg, withAlpha(S, 1.00f)},
        {"ScrollbarGrab", ImGuiCol_ScrollbarGrab, withAlpha(C, 0.21f)},
        {"ScrollbarGrabHovered", ImGuiCol_ScrollbarGrabHovered, withAlpha(R, 0.78f)},
        {"ScrollbarGrabActive", ImGuiCol_ScrollbarGrabActive, withAlpha(R, 1.00f)},
        {"ComboBg", -1, withAlpha(S, 1.00f)},
        {"CheckMark", ImGuiCol_CheckMark, ImVec4(0.71f, 0.22f, 0.27f, 1.00f)},
        {"SliderGrab", ImGuiCol_SliderGrab, withAlpha(C, 0.14f)},
        {"SliderGrabActive", ImGuiCol_SliderGrabActive, withAlpha(R, 1.00f)},
        {"Button", ImGuiCol_Button, ImVec4(0.20f, 0.29f, 0.37f, 1.00f)},
        {"ButtonHovered", ImGuiCol_ButtonHovered, withAlpha(R, 0.65f)},
        {"ButtonActive", ImGuiCol_ButtonActive, withAlpha(R, 1.00f)},
        {"Header", ImGuiCol_Header, withAlpha(R, 0.50f)},
        {"HeaderHovered", ImGuiCol_HeaderHovered, withAlpha(R, 0.60f)},
        {"HeaderActive", ImGuiCol_HeaderActive, withAlpha(R, 0.60f)},
        {"Separator", ImGuiCol_Separator, withAlpha(C, 0.80f)},
        {"SeparatorHovered", ImGuiCol_SeparatorHovered, withAlpha(R, 0.90f)},
        {"SeparatorActive", ImGuiCol_SeparatorActive, withAlpha(R, 1.00f)},
        {"ResizeGrip", ImGuiCol_ResizeGrip, withAlpha(C, 0.04f)},
        {"ResizeGripHovered", ImGuiCol_ResizeGripHovered, withAlpha(R, 0.78f)},
        {"ResizeGripActive", ImGuiCol_ResizeGripActive, withAlpha(R, 1.00f)},
        {"CloseButton", -1, withAlpha(P, 0.16f)},
        {"CloseButtonHovered", -1, withAlpha(P, 0.39f)},
        {"CloseButtonActive", -1, withAlpha(P, 1.00f)},
        {"PlotLines", ImGuiCol_PlotLines, withAlpha(L, 1.00f)},
        {"PlotLinesHovered", ImGuiCol_PlotLinesHovered, withAlpha(L, 1.00f)},
        {"PlotHistogram", ImGuiCol_PlotHistogram, withAlpha(L, 1.00f)},
        {"PlotHistogramHovered", ImGuiCol_PlotHistogramHovered, withAlpha(L, 1.00f)},
        {"TextSelectedBg", ImGuiCol_TextSelectedBg, withAlpha(R, 0.90f)},
        {"ModalWindowDarkening", ImGuiCol_ModalWindowDimBg, withAlpha(S, 0.85f)},
    }};
    return table;
}

void UiDrawer::setupStyleAndFonts()
{
    ImGuiStyle& style = ImGui::GetStyle();
    style.Alpha = 0.95f;
    style.WindowPadding = ImVec2(8, 4);
    style.WindowRounding = 0;
    style.WindowTitleAlign = ImVec2(0.48f, 0.5f);
    style.FramePadding = ImVec2(4, 2);
    style.ItemSpacing = ImVec2(8, 6);
    style.ItemInnerSpacing = ImVec2(5, 4);
    style.IndentSpacing = 10;
    style.ScrollbarSize = 16;
    style.ScrollbarRounding = 0;
    style.GrabMinSize = 16;
    style.GrabRounding = 4;
    style.ButtonTextAlign = ImVec2(0.5f, 0.5f);
    for (const ThemeColour& colour : themeColours()) {
        if (colour.slot >= 0) style.Colors[colour.slot] = colour.value;
    }

    // A second set-up in one run starts the atlas over instead of adding the
    // fonts twice.
    ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
    atlas.Clear();
    const float pixels = 16.0f * fontScale;
    // The atlas takes ownership of each copy and frees it.
    auto addFont = [&](std::span<const unsigned char> data, const ImFontConfig* config, const ImWchar* ranges) {
        void* copy = ImGui::MemAlloc(data.size());
        std::memcpy(copy, data.data(), data.size());
        atlas.AddFontFromMemoryTTF(copy, static_cast<int>(data.size()), pixels, config, ranges);
    };
    addFont(UiTextFontData, nullptr, nullptr);
    ImFontConfig iconConfig;
    iconConfig.MergeMode = true;
    iconConfig.PixelSnapH = true;
    addFont(UiIconFontData, &iconConfig, IconGlyphRanges);
}
