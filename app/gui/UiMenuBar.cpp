// The menu bar docked along the bottom edge, the file dialogs it opens, and
// the licences and about windows it shows.

#include "UiDrawer.h"

#include "Config.h"
#include "FileDialog.h"
#include "ItemProbe.h"
#include "LicenceTable.h"
#include "PanelRules.h"
#include "PendingActions.h"
#include "TriMesh.h"

#include <imgui.h>

#include <atomic>
#include <string>

namespace {

bool menuItem(const char* label, const char* shortcut = nullptr, bool enabled = true)
{
    const bool pressed = ImGui::MenuItem(label, shortcut, false, enabled);
    probeItem(label);
    return pressed;
}

bool beginMenu(const char* label, bool enabled = true)
{
    const bool open = ImGui::BeginMenu(label, enabled);
    probeItem(label);
    return open;
}

// A check box on a setting that document tasks read from worker threads.
void settingCheckbox(const char* label, std::atomic<bool>& setting)
{
    bool value = setting.load();
    if (ImGui::Checkbox(label, &value)) setting.store(value);
    probeItem(label);
}

struct ViewItem {
    const char* label;
    const char* shortcut;
    uint64_t bit;
};

constexpr ViewItem ViewItems[] = {
    {"Reset View", "R", PendingAction::ResetView},
    {"Switch Style", "TAB", PendingAction::SwitchStyle},
    {"Perspective/Orthographic", "V", PendingAction::ToggleProjection},
    {"Toggle Grid", "G", PendingAction::ToggleGrid},
    {"Toggle Wireframe", "SHIFT+G", PendingAction::ToggleWireframe},
    {"Toggle Sketch Mode", "L", PendingAction::ToggleSketchMode},
    {"Toggle Normals", "N", PendingAction::ToggleNormals},
    {"Toggle Boundary Edges", "O", PendingAction::ToggleBoundaryEdges},
    {"Toggle Complex Edges", "I", PendingAction::ToggleComplexEdges},
    {"Toggle Axis", "X", PendingAction::ToggleAxis},
    {"Toggle Bounding-Box", "B", PendingAction::ToggleBoundingBox},
};

} // namespace

void UiDrawer::drawMenuBar()
{
    const ImGuiIO& io = ImGui::GetIO();
    const float barHeight = ImGui::GetFrameHeight();

    ImGui::SetNextWindowPos(ImVec2(0.0f, io.DisplaySize.y - barHeight), ImGuiCond_Always);
    ImGui::SetNextWindowBgAlpha(0.0f);
    ImGui::Begin("MenuBar", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_MenuBar);
    if (ImGui::BeginMenuBar()) {
        ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.7f, 0.7f, 0.7f, 1.0f));

        if (beginMenu("\uF115 Open")) {
            if (menuItem("Select...")) openModelFileDialog(0, nullptr);
            if (beginMenu("Supported formats")) {
                if (importers) {
                    for (std::size_t i = 0; i < importers->size(); ++i) {
                        const ImporterInfo& importer = (*importers)[i];
                        const std::string label = importer.fileExtensions + " (" + importer.name + ")";
                        ImGui::PushID(static_cast<int>(i));
                        if (menuItem(label.c_str())) openModelFileDialog(0, nullptr);
                        ImGui::PopID();
                    }
                }
                ImGui::EndMenu();
            }
            if (beginMenu("Options")) {
                settingCheckbox("merge duplicate vertices", MergeDuplicateVertices);
                settingCheckbox("compute smooth normals", ComputeVertexNormals);
                settingCheckbox("check & fix non-manifold", CheckManifoldness);
                ImGui::EndMenu();
            }
            ImGui::EndMenu();
        }

        if (beginMenu("\uF0C7 Save")) {
            const bool enabled = panels::saveEnabled(*pendingActions, modelPath);
            if (exportFormats) {
                for (std::size_t i = 0; i < exportFormats->size(); ++i) {
                    const ExportFormatInfo& format = (*exportFormats)[i];
                    const std::string label = format.fileExtension + " (" + format.description + ")";
                    ImGui::PushID(static_cast<int>(i));
                    if (menuItem(label.c_str(), nullptr, enabled)) saveModelFileDialog(format);
                    ImGui::PopID();
                }
            }
            ImGui::EndMenu();
        }

        if (beginMenu("\uF1DE Mesh")) {
            ImGui::MenuItem("Surface Remesh", nullptr, &showRemesh);
            probeItem("Surface Remesh");
            ImGui::EndMenu();
        }

        if (beginMenu("\uF1B2 View")) {
            for (const ViewItem& item : ViewItems) {
                if (menuItem(item.label, item.shortcut)) *pendingActions |= item.bit;
            }
            ImGui::EndMenu();
        }

        if (beginMenu("\uF059 Help")) {
            if (menuItem("Tamrel Help")) openUrl(helpPageAddress());
            if (menuItem("Licensing Information")) showLicences = true;
            if (menuItem("About Tamrel")) showAbout = true;
            ImGui::EndMenu();
        }

        ImGui::PopStyleColor();
        ImGui::EndMenuBar();
    }
    ImGui::End();

    if (showRemesh) drawRemeshPanel(&showRemesh);
    if (showLicences) drawLicencesWindow();
    if (showAbout) drawAboutWindow();
}

void UiDrawer::openModelFileDialog(int /*filterCount*/, const char* const* /*filterPatterns*/)
{
    const auto path = fileDialog({false, "Open a model file", modelPath});
    if (!path) return;
    modelPath = *path;
    *pendingActions |= PendingAction::LoadRequested;
}

void UiDrawer::saveModelFileDialog(const ExportFormatInfo& format)
{
    const auto path = fileDialog({true, "Save model file", panels::saveProposal(modelPath, format.fileExtension)});
    if (!path) return;
    savePath = *path;
    saveFormatId = format.id;
    *pendingActions |= PendingAction::SaveRequested;
}

void UiDrawer::drawLicencesWindow()
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowSize(ImVec2(0.6f * display.x, 0.6f * display.y), ImGuiCond_FirstUseEver);
    if (ImGui::Begin("\uF0A3 Licenses", &showLicences, 0)) {
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextUnformatted("Tamrel is made possible by oepn source software.\n"
                               "Here are the licenses of third-party software used by Tamrel.");
        ImGui::PopTextWrapPos();
        ImGui::Separator();

        if (selectedLicence >= LicenceTable.size()) selectedLicence = 0;
        ImGui::BeginChild("left pane", ImVec2(160.0f, 0.0f), true, ImGuiWindowFlags_HorizontalScrollbar);
        for (std::size_t i = 0; i < LicenceTable.size(); ++i) {
            const std::string& name = LicenceTable[i].first;
            if (ImGui::Selectable(name.c_str(), selectedLicence == i)) selectedLicence = static_cast<uint32_t>(i);
            probeItem(name.c_str());
        }
        ImGui::EndChild();
        ImGui::SameLine();
        ImGui::BeginChild("item view", ImVec2(0.0f, 0.0f), true, ImGuiWindowFlags_HorizontalScrollbar);
        if (selectedLicence < LicenceTable.size()) {
            const std::string& text = LicenceTable[selectedLicence].second;
            ImGui::TextUnformatted(text.c_str(), text.c_str() + text.size());
            probeItem(text.c_str());
        }
        ImGui::EndChild();
    }
    ImGui::End();
}

void UiDrawer::drawAboutWindow()
{
    if (ImGui::Begin("\uF05A About Tamrel", &showAbout,
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::Text("Version: %s", VersionText);
        ImGui::TextUnformatted("Built for Linux x86-64 with g++ " __VERSION__ " and Dear ImGui " IMGUI_VERSION);
        if (ImGui::Button("\uF0ED Get Latest Version")) openUrl(DownloadPageAddress);
        probeItem("\uF0ED Get Latest Version");
        ImGui::Separator();

        ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.0f, 0.9f, 0.9f, 1.0f));
        ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0, 0, 0, 0));
        ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0, 0, 0, 0));
        ImGui::PushStyleColor(ImGuiCol_ButtonActive, ImVec4(0, 0, 0, 0));
        const std::string link = std::string("\uF0C1 ") + HomePageAddress;
        if (ImGui::Button(link.c_str())) openUrl(HomePageAddress);
        ImGui::PopStyleColor(4);
    }
    ImGui::End();
}
