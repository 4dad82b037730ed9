// The application's action handlers on the viewer rig: the render-setting
// transitions of the keys, and the file and remesh requests refused while a
// task runs, with what the title and the model path show afterwards.

#include "RenderTestSupport.h"
#include "ViewerRig.h"
#include "XWindows.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
namespace PA = PendingAction;

namespace {

bool logged(const std::string& line)
{
    return rendertest::logText().find(line) != std::string::npos;
}

} // namespace

TEST_F(ViewerRig, RenderSettingTransitions)
{
    const TestMesh cube = makeCube(false);
    show(cube);
    const uint32_t last = meshDrawer.matcapLayerCount - 1;
    ASSERT_GE(last, 1u);
    Camera& camera = meshDrawer.camera;
    const std::string noWireframe = "warning Can not render wireframe under edge detection mode.";
    const std::string noSketch = "warning Edge detection is disabled under wireframe rendering mode.";

    struct Row {
        uint64_t request;
        uint32_t mode, index;
        bool sketch;
        uint32_t toMode, toIndex;
        bool toSketch;
        const std::string* warning;
        uint64_t left; // requests still set after the call
    };
    const Row rows[] = {
        {PA::SwitchStyle, 1, 0, false, 1, 1, false, nullptr, 0},
        {PA::SwitchStyle, 1, last, false, 3, 0, false, nullptr, 0},
        {PA::SwitchStyle, 2, last, false, 4, 0, false, nullptr, 0},
        {PA::SwitchStyle, 3, last, false, 1, last, false, nullptr, 0},
        {PA::SwitchStyle, 4, 1, false, 2, 1, false, nullptr, 0},
        {PA::SwitchStyle, 0, 1, false, 0, 1, false, nullptr, 0},
        {PA::ToggleGrid, 0, 0, false, 0, 0, false, nullptr, 0},
        {PA::ToggleGrid, 1, 0, false, 2, 0, false, nullptr, 0},
        {PA::ToggleGrid, 2, 0, false, 1, 0, false, nullptr, 0},
        {PA::ToggleGrid, 3, 0, false, 4, 0, false, nullptr, 0},
        {PA::ToggleGrid, 4, 0, false, 3, 0, false, nullptr, 0},
        {PA::ToggleWireframe, 0, 0, false, 1, 0, false, nullptr, 0},
        {PA::ToggleWireframe, 2, 0, false, 0, 0, false, nullptr, 0},
        {PA::ToggleWireframe, 4, 0, false, 0, 0, false, nullptr, 0},
        {PA::ToggleGrid | PA::ToggleWireframe, 1, 0, false, 2, 0, false, nullptr, PA::ToggleWireframe},
        {PA::ToggleSketchMode, 1, 0, false, 1, 0, true, nullptr, 0},
        {PA::ToggleSketchMode, 3, 0, true, 3, 0, false, nullptr, 0},
        {PA::ToggleSketchMode, 3, 0, false, 3, 0, true, nullptr, 0},
        {PA::ToggleSketchMode, 0, 0, false, 0, 0, false, &noSketch, 0},
        {PA::ToggleSketchMode, 2, 0, false, 2, 0, false, &noSketch, 0},
        {PA::ToggleSketchMode | PA::ToggleAxis, 4, 0, false, 4, 0, false, &noSketch, PA::ToggleAxis},
        {PA::ToggleGrid, 1, 0, true, 1, 0, true, &noWireframe, 0},
        {PA::ToggleWireframe, 3, 0, true, 3, 0, true, &noWireframe, 0},
        {PA::ToggleGrid | PA::ToggleNormals, 3, 0, true, 3, 0, true, &noWireframe, PA::ToggleNormals},
        // Tab in sketch mode only changes the texture.
        {PA::SwitchStyle, 1, 0, true, 1, 1, true, nullptr, 0},
    };
    for (const Row& row : rows) {
        const std::string name = "request " + std::to_string(row.request) + " in mode " + std::to_string(row.mode) +
                                 (row.sketch ? " sketch" : "");
        setShadingMode(ShadingMode::Phong);
        setSketchMode(row.sketch);
        setShadingMode(row.mode);
        camera.matcapIndex = row.index;
        const bool normalsShown = lineDrawer.groups.at("normals").visible;
        rendertest::clearLog();
        app.pendingActions = row.request;
        app.processRenderSettings();
        EXPECT_EQ(camera.shadingMode, row.toMode) << name;
        EXPECT_EQ(camera.matcapIndex, row.toIndex) << name;
        EXPECT_EQ(camera.edgeDetection, row.toSketch) << name;
        EXPECT_EQ(app.pendingActions, row.left) << name;
        if (row.warning) {
            EXPECT_TRUE(logged(*row.warning)) << name;
        } else {
            EXPECT_FALSE(logged("warning")) << name;
        }
        EXPECT_EQ(lineDrawer.groups.at("normals").visible, normalsShown) << name;
        // Lines and overlay draw on the picture the output pass shows.
        const uint32_t target = camera.edgeDetection ? 1 : 0;
        EXPECT_EQ(lineDrawer.framebufferIndex, target) << name;
        EXPECT_EQ(app.uiDrawer.framebufferIndex, target) << name;
        EXPECT_EQ(outputPassDrawer.sourceAttachment, target) << name;
        drawFrame();
    }

    // Reset View fits the camera to the document again and keeps rotation,
    // zoom and the overlays' visibility.
    setSketchMode(false);
    std::copy_n(cube.boxMin, 3, app.document.bboxMin);
    std::copy_n(cube.boxMax, 3, app.document.bboxMax);
    camera.pan = glm::translate(glm::mat4(1.0f), glm::vec3(0.3f, 0.2f, 0.0f));
    camera.zoomScale = glm::scale(glm::mat4(1.0f), glm::vec3(1.7f));
    camera.distance = 99.0f;
    toggleGroup("axis");
    const bool axisShown = lineDrawer.groups.at("axis").visible;
    const glm::mat4 rotation = camera.rotation, zoom = camera.zoomScale;
    app.pendingActions = PA::ResetView;
    app.processRenderSettings();
    EXPECT_EQ(camera.rotation, rotation);
    EXPECT_EQ(camera.zoomScale, zoom);
    EXPECT_EQ(camera.pan, glm::mat4(1.0f));
    EXPECT_LT(camera.distance, 10.0f);
    EXPECT_EQ(lineDrawer.groups.at("axis").visible, axisShown);
    drawFrame();
}

TEST_F(ViewerRig, RefusedRequestsKeepTheModelOnScreen)
{
    const fs::path dir = fs::temp_directory_path() / ("tamrel-actions-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string a = (dir / "a.obj").string(), b = (dir / "missing-b.obj").string();
    std::ofstream(a) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";
    TriMesh& document = app.document;
    const auto request = [&](uint64_t bits) {
        app.pendingActions |= bits;
        app.processIoActions();
    };
    const auto finishLoad = [&] {
        for (int i = 0; i < 1000 && (app.pendingActions & PA::LoadRunning); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            app.processIoActions();
        }
        ASSERT_FALSE(app.pendingActions & PA::LoadRunning);
    };

    // A loaded, then B started and failed.
    app.uiDrawer.modelPath = a;
    request(PA::LoadRequested);
    finishLoad();
    const std::string title = "Tamrel | a.obj (V:" + std::to_string(document.vertices.size()) +
                              " F:" + std::to_string(document.indices.size() / 3) + ")";
    EXPECT_TRUE(xwin::waitForTitle(title, 5)) << title;
    app.uiDrawer.modelPath = b;
    request(PA::LoadRequested);
    finishLoad();
    EXPECT_EQ(app.uiDrawer.modelPath, a);

    // A file dropped while a save runs, with a save asked for again.
    rendertest::clearLog();
    app.pendingActions = PA::SaveRunning;
    document.ioTask.state = TaskRunning;
    const char* dropped[] = {"c.obj"};
    app.onDrop(1, dropped);
    request(PA::SaveRequested);
    EXPECT_TRUE(logged("warning Please wait the IO process to finish."));
    EXPECT_EQ(app.pendingActions, PA::SaveRunning);
    EXPECT_EQ(app.uiDrawer.modelPath, a);

    // Restore waits for no task; remesh, smooth and apply are dropped while
    // one runs, restore waits for its end.
    app.pendingActions |= PA::RestoreRequested;
    app.processRemeshActions();
    EXPECT_TRUE(logged("warning Can not restore mesh when async task is running."));
    EXPECT_EQ(app.pendingActions, PA::SaveRunning);
    document.ioTask.state = TaskDone;
    app.processIoActions();
    EXPECT_EQ(document.ioTask.state, TaskIdle);
    app.pendingActions =
        PA::RemeshRunning | PA::RemeshRequested | PA::SmoothRequested | PA::ApplyRequested | PA::RestoreRequested;
    document.remeshTask.state = TaskRunning;
    app.processRemeshActions();
    EXPECT_TRUE(logged("warning Please wait the remesh process to finish."));
    EXPECT_EQ(app.pendingActions, PA::RemeshRunning | PA::RestoreRequested);
    document.remeshTask.state = TaskIdle;

    // Running bits whose task never started.
    const std::pair<uint64_t, std::string> stray[] = {
        {PA::RemeshRunning, "error Remesh task is idle after started"},
        {PA::LoadRunning, "error File import task is still idle after started"},
        {PA::SaveRunning, "error File export task is idle after started"}};
    for (const auto& [bit, line] : stray) {
        app.pendingActions = bit;
        bit == PA::RemeshRunning ? app.processRemeshActions() : app.processIoActions();
        EXPECT_TRUE(logged(line)) << line;
        EXPECT_EQ(app.pendingActions, 0u) << line;
    }

    // Apply with nothing to apply sets the title again: still A's.
    app.updateWindowTitle(0, 0);
    app.pendingActions = PA::ApplyRequested;
    app.processRemeshActions();
    EXPECT_TRUE(logged("info Nothing to apply."));
    EXPECT_TRUE(xwin::waitForTitle(title, 5)) << title;
    fs::remove_all(dir);
}
