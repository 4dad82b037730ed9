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
#include "RgbaImage.h"
#include "ViewerRig.h"
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
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string Model = "/usr/share/assimp/models/STL/sphereWithHole.stl";
const std::string OpenMenu = "\uF115 Open", SaveMenu = "\uF0C7 Save", MeshMenu = "\uF1DE Mesh";
const auto GuiSink = std::make_shared<gui_log_sink_mt>();

bool waitFor(const std::function<bool()>& done, std::chrono::seconds timeout = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !done(); std::this_thread::sleep_for(20ms)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
    }
    return true;
}

bool logged(const std::string& part)
{
    const auto messages = GuiSink->messages();
    return std::any_of(messages.begin(), messages.end(),
                       [&](const std::string& m) { return m.find(part) != std::string::npos; });
}

struct Item {
    ImVec2 min, max;
    bool disabled = false;
    uint64_t frame = 0;
};

// What the frames report through the item probe, for the driving thread. A
// frame begins with the Open menu, the first item drawn.
class Probe {
public:
    Probe()
    {
        itemProbe = [this](const char* label, ImVec2 min, ImVec2 max) {
            const bool disabled = (GImGui->LastItemData.InFlags & ImGuiItemFlags_Disabled) != 0;
            std::lock_guard<std::mutex> lock(mutex);
            if (label == OpenMenu && ++frame && wantClipboard.exchange(false)) {
                const char* text = ImGui::GetClipboardText();
                clipboard = text ? text : "";
            }
            items[label] = Item{min, max, disabled, frame.load()};
        };
    }
    ~Probe() { itemProbe = nullptr; }

    // The item labelled text (with prefix: the first whose label starts with
    // it) as frames after now show it, in the same place twice in a row: a
    // window that appears is placed only after its first frame.
    std::optional<Item> await(const std::string& text, bool prefix = false)
    {
        const uint64_t after = frame;
        std::optional<Item> last, found;
        waitFor([&] {
            std::lock_guard<std::mutex> lock(mutex);
            for (const auto& [label, item] : items) {
                if (item.frame <= after || (prefix ? !label.starts_with(text) : label != text)) continue;
                if (last && last->frame < item.frame && last->min.x == item.min.x && last->min.y == item.min.y &&
                    last->max.x == item.max.x && last->max.y == item.max.y) {
                    found = item;
                }
                if (!last || last->frame < item.frame) last = item;
                break;
            }
            return found.has_value();
        });
        return found;
    }

    std::string readClipboard()
    {
        wantClipboard = true;
        waitFor([&] { return !wantClipboard; }, 4s);
        std::lock_guard<std::mutex> lock(mutex);
        return clipboard;
    }

private:
    std::mutex mutex;
    std::map<std::string, Item> items;
    std::atomic<uint64_t> frame{0};
    std::atomic<bool> wantClipboard{false};
    std::string clipboard;
};

// Clicks each item in turn where the frames show it (a label ending in '*'
// stands for the first label that starts with the rest): near its left end,
// since a wide item may run under its window's scroll bar.
void click(Probe& probe, std::initializer_list<std::string> labels, int button = 1)
{
    for (const std::string& label : labels) {
        const bool prefix = label.ends_with('*');
        const auto item = probe.await(prefix ? label.substr(0, label.size() - 1) : label, prefix);
        ASSERT_TRUE(item) << "no item " << label;
        const int x = static_cast<int>(item->min.x + std::min(12.0f, (item->max.x - item->min.x) / 2));
        const int y = static_cast<int>((item->min.y + item->max.y) / 2);
        const unsigned long window = xwin::findWindow("Tamrel");
        ASSERT_NE(window, 0u) << "no Tamrel window of this test";
        const std::string id = std::to_string(window);
        const std::string command = "xdotool windowfocus --sync " + id + " mousemove --window " + id + " " +
                                    std::to_string(x) + " " + std::to_string(y) + " sleep 0.2 click " +
                                    std::to_string(button) + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << label;
        std::this_thread::sleep_for(300ms);
    }
}

// Compares the region [min, max) of a picture with tests/golden/<name>.png.
void expectRegionMatchesGolden(const RgbaImage& picture, ImVec2 min, ImVec2 max, const std::string& name,
                               const fs::path& dir)
{
    const uint32_t x0 = static_cast<uint32_t>(std::max(0.0f, min.x));
    const uint32_t y0 = static_cast<uint32_t>(std::max(0.0f, min.y));
    const uint32_t x1 = std::min(picture.width, static_cast<uint32_t>(max.x));
    const uint32_t y1 = std::min(picture.height, static_cast<uint32_t>(max.y));
    ASSERT_TRUE(x0 < x1 && y0 < y1) << name;
    const std::string path = (dir / (name + ".png")).string();
    crop(picture, x0, y0, x1 - x0, y1 - y0).savePng(path);
    expectMatchesGolden(path, name);
}

} // namespace

TEST(PanelsEndToEnd, AWholeSessionFromTheWindow)
{
    auto logger = std::make_shared<spdlog::logger>(
        "tamrel_log", spdlog::sinks_init_list{std::make_shared<spdlog::sinks::stdout_sink_mt>(), GuiSink});
    logger->set_level(spdlog::level::info);
    spdlog::drop("tamrel_log");
    spdlog::register_logger(logger);
    loadConfig();

    const fs::path dir = fs::temp_directory_path() / ("tamrel-panels-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    PathScreenshots = dir / "shots";
    // The dialogs' answers in turn: a file that does not exist, then the
    // model; a folder that does not exist, then a good target.
    const std::string missing = (dir / "missing.obj").string(), saved = (dir / "saved.ply").string();
    const std::string refused = (dir / "no-such-folder" / "refused.ply").string();
    const std::string answers[] = {missing, Model, refused, saved};
    std::vector<FileDialogRequest> dialogs;
    fileDialog = [&](const FileDialogRequest& request) -> std::optional<std::string> {
        dialogs.push_back(request);
        return dialogs.size() <= std::size(answers) ? std::optional(answers[dialogs.size() - 1]) : std::nullopt;
    };
    Probe probe;

    std::atomic<bool> finished{false};
    std::string appliedTitle, clipboard;
    std::thread driver([&] {
        ASSERT_TRUE(xwin::waitForTitle("Tamrel", 60, true)) << "no window";
        // A load that fails shows up in the log and leaves no model.
        click(probe, {OpenMenu, "Select..."});
        EXPECT_TRUE(waitFor([&] { return logged("Failed to load model file <" + missing + ">"); }));

        // The remesh panel over the empty scene, and the screenshot button.
        click(probe, {MeshMenu, "Surface Remesh", "Remesh"});
        EXPECT_TRUE(waitFor([&] { return logged("No mesh data to remesh."); }));
        click(probe, {"\uF083"});
        const auto shotTaken = [&] { return fs::exists(PathScreenshots) && !fs::is_empty(PathScreenshots); };
        EXPECT_TRUE(waitFor(shotTaken, 30s));
        std::this_thread::sleep_for(500ms);
        const auto open = probe.await(OpenMenu), help = probe.await("\uF059 Help");
        const auto title = probe.await("\uF1DE Remesh"), restore = probe.await("Restore");
        ASSERT_TRUE(shotTaken() && open && help && title && restore);
        const RgbaImage picture(fs::directory_iterator(PathScreenshots)->path().string());
        expectRegionMatchesGolden(picture, {0, open->min.y}, {help->max.x + 10, 1e6f}, "gui_menu_bar", dir);
        // Below the title bar, whose colour follows the focus that the
        // screenshot click itself moves.
        expectRegionMatchesGolden(picture, {title->min.x, title->max.y + 8}, {title->max.x, restore->max.y + 10},
                                  "gui_remesh_panel", dir);

        // Load, remesh, apply.
        click(probe, {OpenMenu, "Select..."});
        EXPECT_TRUE(xwin::waitForTitle("Tamrel | sphereWithHole.stl (V:", 60, true));
        const std::string loadedTitle = xwin::titleStartingWith("Tamrel");
        click(probe, {"Remesh"});
        EXPECT_TRUE(waitFor([&] {
            const auto remesh = probe.await("Remesh");
            return remesh && !remesh->disabled;
        }, 120s));
        click(probe, {"Apply"});
        EXPECT_TRUE(waitFor([&] { return logged("New mesh successfully applied."); }));
        EXPECT_TRUE(waitFor([&] { return xwin::titleStartingWith("Tamrel") != loadedTitle; }));
        appliedTitle = xwin::titleStartingWith("Tamrel");

        // Save through the dialog: refused into a missing folder, then done.
        click(probe, {SaveMenu, "ply (*", SaveMenu, "ply (*"});
        EXPECT_TRUE(waitFor([&] { return fs::exists(saved); }, 30s));
        EXPECT_TRUE(logged("Failed to export file <" + refused + ">"));
        EXPECT_EQ(xwin::titleStartingWith("Tamrel"), appliedTitle);

        // The log window and its Copy.
        click(probe, {"\uF022"});
        click(probe, {"Model <" + Model + "> loaded in*"}, 3);
        click(probe, {"Copy"});
        clipboard = probe.readClipboard();
    });

    std::thread closer([&] {
        driver.join();
        while (!finished) {
            xwin::requestClose(xwin::titleStartingWith("Tamrel"));
            waitFor([&] { return finished.load(); }, 1s);
        }
    });
    EXPECT_NO_THROW(std::make_unique<Application>()->run({}));
    finished = true;
    closer.join();
    fileDialog = runZenityDialog;

    ASSERT_EQ(dialogs.size(), 4u);
    EXPECT_EQ(dialogs[0].title, "Open a model file");
    EXPECT_EQ(dialogs[1].defaultPath, "");  // the failed load left no model behind
    EXPECT_TRUE(!dialogs[1].save && dialogs[2].save);
    EXPECT_EQ(dialogs[3].title, "Save model file");
    EXPECT_EQ(dialogs[3].defaultPath, Model + ".ply");

    // The saved file holds the applied mesh.
    const auto countAt = appliedTitle.find(" F:");
    ASSERT_NE(countAt, std::string::npos) << appliedTitle;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(saved, aiProcess_Triangulate);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    unsigned long readFaces = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) readFaces += scene->mMeshes[i]->mNumFaces;
    EXPECT_EQ(readFaces, std::stoul(appliedTitle.substr(countAt + 3)));

    EXPECT_NE(clipboard.find(">> Model <" + Model + "> loaded in"), std::string::npos) << clipboard;
    EXPECT_NE(clipboard.find(">> Failed to load model file <" + missing + ">"), std::string::npos) << clipboard;
    fs::remove_all(dir);
}
