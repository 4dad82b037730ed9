#pragma once
// A hook for tests that drive the window through the X server: when set, it
// is called after each labelled widget of the menus and panels with the label
// and the widget's rectangle in the frame being built. Main thread only.

#include <imgui.h>

#include <functional>

inline std::function<void(const char* label, ImVec2 min, ImVec2 max)> itemProbe;

inline void probeItem(const char* label)
{
    if (itemProbe) itemProbe(label, ImGui::GetItemRectMin(), ImGui::GetItemRectMax());
}
