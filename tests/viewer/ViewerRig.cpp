#include "ViewerRig.h"

#include "Config.h"
#include "RenderTestSupport.h"
#include "RgbaImage.h"

#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

void ViewerRig::SetUpTestSuite()
{
    // The application takes the logger at construction.
    rendertest::logText();
}

void ViewerRig::SetUp()
{
    savedWidth = WindowWidth;
    savedHeight = WindowHeight;
    WindowWidth = Width;
    WindowHeight = Height;
    // The start-up of a run up to the main loop, an empty document shown,
    // without the GUI overlay.
    ASSERT_NO_THROW(app.initViewer());
    ASSERT_NO_THROW(app.initPresentation());

    // A three-quarter view shows three faces of a cube.
    meshDrawer.camera.rotation = glm::rotate(glm::rotate(glm::mat4(1.0f), 0.5f, glm::vec3(1, 0, 0)), 0.7f,
                                             glm::vec3(0, 1, 0));
}

void ViewerRig::TearDown()
{
    owner.reset();
    WindowWidth = savedWidth;
    WindowHeight = savedHeight;
}

void ViewerRig::show(const TestMesh& mesh)
{
    app.fitCameraAndUploadMesh(mesh.vertices, mesh.indices, mesh.boxMin, mesh.boxMax, mesh.centre, true);
    app.updateLineGeometry(mesh.vertices, mesh.boxMin, mesh.boxMax, mesh.centre, mesh.boundaryEdges, {});
}

void ViewerRig::drawFrame()
{
    // Only a frame that draws the scene passes hands the line pass a new
    // matrix; a zero matrix is never a camera's.
    const glm::mat4 kept = lineDrawer.mvp;
    lineDrawer.mvp = glm::mat4(0.0f);
    app.drawFrame();
    lastFrameRedrawn = lineDrawer.mvp != glm::mat4(0.0f);
    if (!lastFrameRedrawn) lineDrawer.mvp = kept;
    EXPECT_FALSE(app.pendingActions & PendingAction::SwapchainResize) << "swapchain out of date";
}

void ViewerRig::setShadingMode(uint32_t mode)
{
    device.waitIdle();
    meshDrawer.camera.shadingMode = mode;
    meshDrawer.recordCommandBuffers();
}

void ViewerRig::setSketchMode(bool on)
{
    if (meshDrawer.camera.edgeDetection == on) return;
    app.pendingActions |= PendingAction::ToggleSketchMode;
    app.processRenderSettings();
    ASSERT_EQ(meshDrawer.camera.edgeDetection, on);
}

void ViewerRig::toggleGroup(const std::string& name)
{
    ASSERT_EQ(lineDrawer.groups.count(name), 1u) << name;
    app.toggleLineDrawer(name);
}

void ViewerRig::resize(int width, int height)
{
    glfwSetWindowSize(app.window, width, height);
    int w = 0, h = 0;
    for (int i = 0; i < 100 && (w != width || h != height); ++i) {
        glfwWaitEventsTimeout(0.02);
        glfwGetFramebufferSize(app.window, &w, &h);
    }
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    // As the main loop does on the size callback's request.
    app.pendingActions &= ~PendingAction::SwapchainResize;
    app.recreateSwapchain(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
}

void ViewerRig::showOverlay()
{
    app.initUi();
}

std::string ViewerRig::capture(const std::string& name)
{
    drawFrame();
    const std::string path =
        (fs::temp_directory_path() / ("tamrel_" + std::to_string(::getpid()) + "_" + name + ".png")).string();
    context.captureScreenshot(path, meshDrawer.camera.edgeDetection ? 1 : 0);
    return path;
}

void expectMatchesGolden(const std::string& actualPath, const std::string& name)
{
    constexpr int channelTolerance = 24;
    constexpr double maxDifferingShare = 0.01;
    const fs::path golden = fs::path(TAMREL_GOLDEN_DIR) / (name + ".png");
    const fs::path kept = fs::path(TAMREL_ACTUAL_DIR) / (name + ".png");
    fs::create_directories(kept.parent_path());
    if (std::getenv("TAMREL_UPDATE_GOLDEN")) {
        fs::copy_file(actualPath, golden, fs::copy_options::overwrite_existing);
    }
    if (!fs::exists(golden)) {
        fs::copy_file(actualPath, kept, fs::copy_options::overwrite_existing);
        ADD_FAILURE() << "no reference image " << golden << "; actual image kept at " << kept;
        return;
    }
    const RgbaImage expected(golden.string());
    const RgbaImage actual(actualPath);
    const size_t differing = differingPixels(actual, expected, channelTolerance);
    const bool same = double(differing) <= maxDifferingShare * double(size_t(actual.width) * actual.height);
    if (!same) {
        fs::copy_file(actualPath, kept, fs::copy_options::overwrite_existing);
        ADD_FAILURE() << name << ": " << differing << " pixels differ from " << golden << " (sizes "
                      << actual.width << "x" << actual.height << " vs " << expected.width << "x"
                      << expected.height << "); actual image kept at " << kept;
    }
}

RgbaImage crop(const RgbaImage& picture, uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    return RgbaImage::fromRawRows(picture.pixels + (size_t(y) * picture.width + x) * 4, width, height,
                                  (picture.width - width) * 4, false, false);
}

size_t differingPixels(const RgbaImage& a, const RgbaImage& b, int tolerance)
{
    if (a.width != b.width || a.height != b.height) return SIZE_MAX;
    size_t count = 0;
    for (size_t i = 0; i < size_t(a.width) * a.height * 4; i += 4) {
        for (int c = 0; c < 4; ++c) {
            if (std::abs(int(a.pixels[i + c]) - int(b.pixels[i + c])) > tolerance) {
                ++count;
                break;
            }
        }
    }
    return count;
}
