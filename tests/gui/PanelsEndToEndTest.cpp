// The window used as a person would, through pointer and key events sent by
// the X server: a failed and a good load through a stubbed Open dialog, the
// remesh panel from the Mesh menu, Remesh and Apply, a save through a stubbed
// Save dialog read back from disk, the log window and its Copy, and the
// screenshot button, whose picture gives the reference images of the menu bar
// and the remesh panel. The validation layer watches the run.

#include "Application.h"
#include "Config.h"
#include "FileDialog.h"
#include "GuiLogSink.h"
#include "ItemProbe.h"
#include "ProcessRunner.h"
#include "ViewerRig.h"
#include "RgbaImage.h"
#include "XWindows.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string Model = "/usr/share/assimp/models/STL/sphereWithHole.stl";
const char* const OpenMenu = "\uF115 Open";
const char* const SaveMenu = "\uF0C7 Save";
const char* const MeshMenu = "\uF1DE Mesh";
const char* const HelpMenu = "\uF059 Help";
const char* const PanelTitle = "\uF1DE Remesh";

struct Item {
    ImVec2 min, max;
    bool disabled = false;
    uint64_t frame = 0;
};

// What the frames report through the item probe, for the driving thread.
class Probe {
public:
    Probe()
    {
        itemProbe = [this](const char* label, ImVec2 min, ImVec2 max) {
            const bool disabled = (GImGui->LastItemData.InFlags & ImGuiItemFlags_Disabled) != 0;
            std::lock_guard<std::mutex> lock(mutex);
            if (label == std::string(OpenMenu)) {
                ++frame;
                if (wantClipboard.exchange(false)) {
                    const char* text = ImGui::GetClipboardText();
                    clipboard = text ? text : "";
                }
            }
            items[label] = Item{min, max, disabled, frame};
        };
    }
    ~Probe() { itemProbe = nullptr; }

    // The item as frames after now show it, in the same place twice in a
    // row: a window that appears is placed only after its first frame.
    std::optional<Item> await(const std::string& label, std::chrono::seconds timeout = 20s)
    {
        uint64_t after;
        {
            std::lock_guard<std::mutex> lock(mutex);
            after = frame;
        }
        std::optional<Item> last;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                auto it = items.find(label);
                if (it != items.end() && it->second.frame > after) {
                    const Item& item = it->second;
                    if (last && last->frame < item.frame) {
                        if (last->min.x == item.min.x && last->min.y == item.min.y && last->max.x == item.max.x &&
                            last->max.y == item.max.y) {
                            return item;
                        }
                    }
                    if (!last || last->frame < item.frame) last = item;
                }
            }
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    // The first label a frame after now shows that starts with prefix.
    std::string awaitPrefix(const std::string& prefix)
    {
        for (int i = 0; i < 100; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                for (const auto& [label, item] : items) {
                    if (label.rfind(prefix, 0) == 0 && item.frame + 2 >= frame) return label;
                }
            }
            std::this_thread::sleep_for(50ms);
        }
        return {};
    }

    std::string readClipboard()
    {
        wantClipboard = true;
        for (int i = 0; i < 200 && wantClipboard; ++i) std::this_thread::sleep_for(20ms);
        std::lock_guard<std::mutex> lock(mutex);
        return clipboard;
    }

private:
    std::mutex mutex;
    std::map<std::string, Item> items;
    uint64_t frame = 0;
    std::atomic<bool> wantClipboard{false};
    std::string clipboard;
};

std::string currentTitle()
{
    for (const std::string& t : xwin::titles()) {
        if (t.rfind("Tamrel", 0) == 0) return t;
    }
    return {};
}

bool xdotool(const std::string& args)
{
    const std::string command =
        "xdotool search --limit 1 --name '^Tamrel' windowfocus --sync " + args + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Moves the pointer onto the item as a frame shows it and clicks there: near
// its left end, since a wide item may run under its window's scroll bar.
bool click(Probe& probe, const std::string& label, int button = 1)
{
    const auto item = probe.await(label);
    if (!item) {
        ADD_FAILURE() << "no item " << label;
        return false;
    }
    const int x = static_cast<int>(item->min.x + std::min(12.0f, (item->max.x - item->min.x) / 2));
    const int y = static_cast<int>((item->min.y + item->max.y) / 2);
    const bool sent = xdotool("mousemove --window %1 " + std::to_string(x) + " " + std::to_string(y) +
                              " sleep 0.2 click " + std::to_string(button));
    EXPECT_TRUE(sent) << label;
    std::this_thread::sleep_for(300ms);
    return sent;
}

bool waitFor(const std::function<bool()>& done, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::vector<std::string> guiMessages()
{
    for (const auto& sink : spdlog::get("tamrel_log")->sinks()) {
        if (auto gui = std::dynamic_pointer_cast<gui_log_sink_mt>(sink)) return gui->messages();
    }
    return {};
}

bool logged(const std::string& part)
{
    for (const std::string& m : guiMessages()) {
        if (m.find(part) != std::string::npos) return true;
    }
    return false;
}

// Compares the region [min, max) of a picture with tests/golden/<name>.png.
void expectRegionMatchesGolden(const RgbaImage& picture, ImVec2 min, ImVec2 max, const std::string& name,
                               const fs::path& dir)
{
    const uint32_t x0 = static_cast<uint32_t>(std::max(0.0f, min.x));
    const uint32_t y0 = static_cast<uint32_t>(std::max(0.0f, min.y));
    const uint32_t x1 = std::min(picture.width, static_cast<uint32_t>(max.x));
    const uint32_t y1 = std::min(picture.height, static_cast<uint32_t>(max.y));
    ASSERT_LT(x0, x1);
    ASSERT_LT(y0, y1);
    const RgbaImage region = RgbaImage::fromRawRows(picture.pixels + (size_t(y0) * picture.width + x0) * 4,
                                                    x1 - x0, y1 - y0, (picture.width - (x1 - x0)) * 4, false, true);
    const std::string path = (dir / (name + ".png")).string();
    region.savePng(path);
    expectMatchesGolden(path, name);
}

} // namespace

TEST(PanelsEndToEnd, AWholeSessionFromTheWindow)
{
    auto gui = std::make_shared<gui_log_sink_mt>();
    auto logger = std::make_shared<spdlog::logger>(
        "tamrel_log", spdlog::sinks_init_list{std::make_shared<spdlog::sinks::stdout_sink_mt>(), gui});
    logger->set_level(spdlog::level::info);
    spdlog::drop("tamrel_log");
    spdlog::register_logger(logger);
    loadConfig();

    const fs::path dir = fs::temp_directory_path() / ("tamrel-panels-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    PathScreenshots = dir / "shots";
    const std::string missing = (dir / "missing.obj").string();
    const std::string saved = (dir / "saved.ply").string();

    // The dialogs' answers in turn: a file that does not exist, then the
    // model; a folder that does not exist, then a good target.
    const std::string refused = (dir / "no-such-folder" / "refused.ply").string();
    std::vector<FileDialogRequest> dialogs;
    std::deque<std::string> openAnswers{missing, Model}, saveAnswers{refused, saved};
    fileDialog = [&](const FileDialogRequest& request) -> std::optional<std::string> {
        dialogs.push_back(request);
        auto& answers = request.save ? saveAnswers : openAnswers;
        if (answers.empty()) return std::nullopt;
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    };
    Probe probe;

    std::atomic<bool> finished{false};
    std::string appliedTitle, clipboard;
    std::thread driver([&] {
        if (!xwin::waitForTitle("Tamrel", 60, true)) {
            ADD_FAILURE() << "no window";
            return;
        }
        // A load that fails shows up in the log and leaves no model.
        click(probe, OpenMenu);
        click(probe, "Select...");
        EXPECT_TRUE(waitFor([&] { return logged("Failed to load model file <" + missing + ">"); }, 20s));

        // The remesh panel over the empty scene, and the screenshot button.
        click(probe, MeshMenu);
        click(probe, "Surface Remesh");
        click(probe, "Remesh");
        EXPECT_TRUE(waitFor([&] { return logged("No mesh data to remesh."); }, 20s));
        click(probe, "\uF083");
        EXPECT_TRUE(waitFor([&] { return fs::exists(PathScreenshots) && !fs::is_empty(PathScreenshots); }, 30s));
        std::this_thread::sleep_for(500ms);
        if (fs::exists(PathScreenshots) && !fs::is_empty(PathScreenshots)) {
            const RgbaImage picture(fs::directory_iterator(PathScreenshots)->path().string());
            const auto open = probe.await(OpenMenu), help = probe.await(HelpMenu);
            const auto title = probe.await(PanelTitle), restore = probe.await("Restore");
            if (open && help && title && restore) {
                const float pad = 10.0f;
                expectRegionMatchesGolden(picture, ImVec2(0, open->min.y), ImVec2(help->max.x + pad, 1e6f),
                                          "gui_menu_bar", dir);
                expectRegionMatchesGolden(picture, ImVec2(title->min.x, title->min.y),
                                          ImVec2(title->max.x, restore->max.y + pad), "gui_remesh_panel", dir);
            }
        }

        // Load, remesh, apply.
        click(probe, OpenMenu);
        click(probe, "Select...");
        EXPECT_TRUE(xwin::waitForTitle("Tamrel | sphereWithHole.stl (V:", 60, true));
        const std::string loadedTitle = currentTitle();
        click(probe, "Remesh");
        EXPECT_TRUE(waitFor([&] { return probe.await("Remesh") && !probe.await("Remesh")->disabled; }, 120s));
        click(probe, "Apply");
        EXPECT_TRUE(waitFor([&] { return logged("New mesh successfully applied."); }, 20s));
        EXPECT_TRUE(waitFor([&] { return currentTitle() != loadedTitle; }, 20s));
        appliedTitle = currentTitle();

        // Save through the dialog: refused into a missing folder, then done.
        for (int attempt = 0; attempt < 2; ++attempt) {
            click(probe, SaveMenu);
            const std::string plyItem = probe.awaitPrefix("ply (");
            EXPECT_FALSE(plyItem.empty());
            if (!plyItem.empty()) click(probe, plyItem);
        }
        EXPECT_TRUE(waitFor([&] { return fs::exists(saved); }, 30s));
        EXPECT_TRUE(logged("Failed to export file <" + refused + ">"));
        EXPECT_EQ(currentTitle(), appliedTitle);

        // The log window and its Copy.
        click(probe, "\uF022");
        const std::string loadedLine = "Model <" + Model + "> loaded in";
        const std::string line = probe.awaitPrefix(loadedLine);
        EXPECT_FALSE(line.empty());
        if (!line.empty()) {
            click(probe, line, 3);
            click(probe, "Copy");
            clipboard = probe.readClipboard();
        }
    });

    std::thread closer([&] {
        driver.join();
        while (!finished) {
            xwin::requestClose(currentTitle());
            for (int i = 0; i < 20 && !finished; ++i) std::this_thread::sleep_for(50ms);
        }
    });

    {
        auto app = std::make_unique<Application>();
        EXPECT_NO_THROW(app->run({}));
        app.reset();
    }
    finished = true;
    closer.join();
    fileDialog = runZenityDialog;

    ASSERT_EQ(dialogs.size(), 4u);
    EXPECT_EQ(dialogs[0].title, "Open a model file");
    // The failed load left no model behind.
    EXPECT_EQ(dialogs[1].defaultPath, "");
    EXPECT_EQ(dialogs.back().title, "Save model file");
    EXPECT_EQ(dialogs.back().defaultPath, Model + ".ply");

    // The saved file holds the applied mesh.
    const auto countAt = appliedTitle.find(" F:");
    ASSERT_NE(countAt, std::string::npos) << appliedTitle;
    const unsigned long faces = std::stoul(appliedTitle.substr(countAt + 3));
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(saved, aiProcess_Triangulate);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    unsigned long readFaces = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) readFaces += scene->mMeshes[i]->mNumFaces;
    EXPECT_EQ(readFaces, faces);

    EXPECT_NE(clipboard.find(">> Model <" + Model + "> loaded in"), std::string::npos) << clipboard;
    EXPECT_NE(clipboard.find(">> Failed to load model file <" + missing + ">"), std::string::npos) << clipboard;
    fs::remove_all(dir);
}
