// The screenshot and log buttons at the right edge, and the log window.

#include "UiDrawer.h"

#include "ItemProbe.h"
#include "PanelRules.h"
#include "PendingActions.h"

#include <imgui.h>

#include <string>
#include <vector>

namespace {

constexpr ImGuiWindowFlags ButtonWindowFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                               ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings;

// A borderless icon button.
bool iconButton(const char* label)
{
    ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.6f, 0.6f, 0.6f, 1.0f));
    ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.0f, 0.0f, 0.0f, 0.0f));
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.3f, 0.3f, 0.3f, 0.8f));
    ImGui::PushStyleColor(ImGuiCol_ButtonActive, ImVec4(0.5f, 0.5f, 0.5f, 0.9f));
    const bool pressed = ImGui::Button(label);
    probeItem(label);
    ImGui::PopStyleColor(4);
    return pressed;
}

void beginButtonWindow(const char* name, ImVec2 position)
{
    ImGui::SetNextWindowPos(position, ImGuiCond_Always, ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowBgAlpha(0.0f);
    ImGui::Begin(name, nullptr, ButtonWindowFlags);
}

} // namespace

void UiDrawer::drawScreenshotAndLogButtons()
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const float h = ImGui::GetFrameHeight();

    beginButtonWindow("ScreenshotButton", ImVec2(display.x - 2.0f * h, 0.6f * h));
    if (iconButton("\uF083")) *pendingActions |= PendingAction::ScreenshotRequested;
    if (ImGui::BeginPopupContextItem(nullptr, ImGuiPopupFlags_MouseButtonRight)) {
        if (screenshotsPath) {
            // Refilled every frame so that the field shows the folder in use.
            panels::fillPathBuffer(*screenshotsPath, screenshotPathBuffer, sizeof screenshotPathBuffer);
            ImGui::TextUnformatted("Screenshot Output Path:");
            if (ImGui::InputText("\uF07B", screenshotPathBuffer, sizeof screenshotPathBuffer)) {
                *screenshotsPath = std::filesystem::path(screenshotPathBuffer);
            }
            probeItem("\uF07B");
        }
        ImGui::EndPopup();
    }
    ImGui::End();

    beginButtonWindow("LogButton", ImVec2(display.x - 2.0f * h, display.y - h));
    if (iconButton("\uF022")) showLog = !showLog;
    ImGui::End();

    if (showLog) drawLogWindow(&showLog);
}

void UiDrawer::drawLogWindow(bool* show)
{
    // Workers log at any time: take copies under the sink's lock, draw after.
    const auto sink = panels::guiLogSink(logger.get());
    const std::vector<std::string> messages = sink ? sink->messages() : std::vector<std::string>();

    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowSize(ImVec2(0.6f * display.x, 0.6f * display.y), ImGuiCond_Once);
    ImGui::SetNextWindowBgAlpha(0.7f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 1.0f);
    ImGui::Begin("Tamrel Log", show,
                 ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                     ImGuiWindowFlags_AlwaysHorizontalScrollbar);
    ImGui::PopStyleVar();

    ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.5f, 0.9f, 0.1f, 1.0f));
    for (const std::string& message : messages) {
        ImGui::TextUnformatted(">> ");
        ImGui::SameLine();
        ImGui::TextUnformatted(message.c_str(), message.c_str() + message.size());
        probeItem(message.c_str());
    }
    ImGui::SetScrollHereY(1.0f);
    ImGui::PopStyleColor();

    if (ImGui::BeginPopupContextWindow(nullptr, ImGuiPopupFlags_MouseButtonRight)) {
        if (ImGui::MenuItem("Copy")) ImGui::SetClipboardText(panels::logCopyText(messages).c_str());
        probeItem("Copy");
        if (ImGui::MenuItem("Reset") && sink) sink->reset();
        probeItem("Reset");
        ImGui::EndPopup();
    }
    ImGui::End();
}
