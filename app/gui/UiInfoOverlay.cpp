// The information overlay in the top-left corner: title, version, GPU, and
// the frame-rate plot or the running task's progress.

#include "GpuInfo.h"
#include "StringUtils.h"
#include "Timer.h"
#include "UiDrawer.h"

#include <imgui.h>

#include <cfloat>

void UiDrawer::drawInfoOverlay(uint32_t framesPerSecond)
{
    constexpr int historySize = 120;
    static Timer sampleTimer;
    static float fpsHistory[historySize] = {};
    static uint32_t writeIndex = 0;
    static const std::string versionLine = stringFormat("Version: %s", VersionText);
    static const std::string gpuLine =
        stringFormat("GPU: %s", gpuInfo ? gpuInfo->properties.deviceName.data() : "");

    if (sampleTimer.elapsedSeconds() > 0.5f) {
        fpsHistory[writeIndex] = static_cast<float>(framesPerSecond);
        writeIndex = (writeIndex + 1) % historySize;
        sampleTimer = Timer();
    }

    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowBgAlpha(0.0f);
    ImGui::Begin("InfoOverlay", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoInputs);
    ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.8f, 0.8f, 0.8f, 1.0f));
    // Names come from files and drivers: shown as they are, never as formats.
    ImGui::TextUnformatted("Tamrel 3D Viewer");
    ImGui::Separator();
    ImGui::TextUnformatted(versionLine.c_str());
    ImGui::TextUnformatted(gpuLine.c_str());

    const uint32_t progress = taskStatus.progress.load(std::memory_order_relaxed);
    ImGui::PushItemWidth(-1);
    if (progress >= 1 && progress <= 99) {
        const std::string label = stringFormat("%s %d%%", taskStatus.name.c_str(), static_cast<int>(progress));
        ImGui::ProgressBar(static_cast<float>(progress) / 100.0f, ImVec2(0, 0), label.c_str());
        ImGui::SameLine(0, 2);
    } else {
        const std::string label = stringFormat("%u fps", framesPerSecond);
        ImGui::PlotLines("##FPS", fpsHistory, historySize, static_cast<int>(writeIndex), label.c_str(), 0.0f,
                         FLT_MAX, ImVec2(0, 0), sizeof(float));
    }
    ImGui::PopItemWidth();
    ImGui::PopStyleColor();
    ImGui::End();
}
