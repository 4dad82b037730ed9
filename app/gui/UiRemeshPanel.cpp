// The remesh panel: the remesh parameters and the four remesh requests.

#include "UiDrawer.h"

#include "ItemProbe.h"
#include "PanelRules.h"
#include "PendingActions.h"

#include <imgui.h>

#include <algorithm>

namespace {

void hoverTip(const char* text)
{
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s", text);
}

} // namespace

void UiDrawer::drawRemeshPanel(bool* show)
{
    targetDensity = std::clamp(targetDensity, panels::MinDensity, panels::MaxDensity);

    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const float fs = ImGui::GetFontSize();
    const ImVec2 buttonSize(3.75f * fs, 1.5f * fs);

    ImGui::SetNextWindowPos(ImVec2(display.x / 2.0f - 8.0f * fs, display.y / 2.0f), ImGuiCond_Appearing,
                            ImVec2(0.0f, 0.0f));
    ImGui::Begin("\uF1DE Remesh", show, ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_AlwaysAutoResize);
    probeItem("\uF1DE Remesh"); // the title bar
    ImGui::PushItemWidth(-1.0f);

    const char* const types[] = {"Uniform Remesh", "Adaptive Remesh"};
    ImGui::Combo("##remesh_type", &remeshType, types, 2, 4);
    probeItem("##remesh_type");
    ImGui::Separator();

    ImGui::TextUnformatted("Target Mesh Density");
    hoverTip("increase or decrease the target total triangle number");
    // Logarithmic gives the finer steps at the low end.
    ImGui::SliderFloat("##nface", &targetDensity, panels::MinDensity, panels::MaxDensity, "Triangle Number %.1fx",
                       ImGuiSliderFlags_Logarithmic);
    probeItem("##nface");
    ImGui::Separator();

    if (panels::showsSizeRatio(remeshType)) {
        sizeRatio = std::clamp(sizeRatio, panels::MinSizeRatio, panels::MaxSizeRatio);
        ImGui::TextUnformatted("Adaptive Size Variation");
        hoverTip("the ratio of maximum edge length to minimum edge length");
        ImGui::SliderFloat("##eratio", &sizeRatio, panels::MinSizeRatio, panels::MaxSizeRatio, "%.1f : 1.0",
                           ImGuiSliderFlags_None);
        probeItem("##eratio");
        ImGui::Separator();
    }

    ImGui::Checkbox("Continuous Remshing", &continuousRemesh);
    probeItem("Continuous Remshing");
    hoverTip("if enabled, remesh will be continuously applied");
    ImGui::Separator();

    const bool disabled = panels::remeshButtonsDisabled(*pendingActions);
    if (disabled) {
        ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyle().Colors[ImGuiCol_TextDisabled]);
        // The disabled look is the pushed text colour alone.
        ImGui::PushStyleVar(ImGuiStyleVar_DisabledAlpha, 1.0f);
    }
    ImGui::BeginDisabled(disabled);
    const struct {
        const char* label;
        uint64_t bit;
    } buttons[] = {{"Remesh", PendingAction::RemeshRequested},
                   {"Smooth", PendingAction::SmoothRequested},
                   {"Apply", PendingAction::ApplyRequested},
                   {"Restore", PendingAction::RestoreRequested}};
    for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) ImGui::SameLine(0.0f, 0.5f * fs);
        if (ImGui::Button(buttons[i].label, buttonSize)) *pendingActions |= buttons[i].bit;
        probeItem(buttons[i].label);
    }
    ImGui::EndDisabled();
    if (disabled) {
        ImGui::PopStyleVar();
        ImGui::PopStyleColor();
    }

    ImGui::PopItemWidth();
    ImGui::End();
}
