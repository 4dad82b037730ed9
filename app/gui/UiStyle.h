#pragma once
// The overlay's look: the colour table as the theme names it, the glyph
// range of the icon font and the two fonts embedded into the executable.

#include <imgui.h>

#include <array>
#include <span>

// One entry of the theme's 43-colour table: the slot's name, the library
// slot that carries that colour today (renamed slots under their new index),
// or -1 for a slot the library no longer has, and the colour.
struct ThemeColour {
    const char* name;
    int slot;
    ImVec4 value;
};

const std::array<ThemeColour, 43>& themeColours();

// Icon code points merged into the text font: one range, zero-terminated.
extern const ImWchar IconGlyphRanges[3];

// The TrueType text and icon fonts, compiled in from the installed files.
extern const std::span<const unsigned char> UiTextFontData;
extern const std::span<const unsigned char> UiIconFontData;
