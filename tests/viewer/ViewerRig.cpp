#include "ViewerRig.h"

#include "Camera.h"
#include "LineGeometry.h"
#include "RenderTestSupport.h"
#include "RgbaImage.h"
#include "VulkanInstance.h"

#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

void ViewerRig::SetUp()
{
    rendertest::logText();
    openWindowDevice("Tamrel viewer test", Width, Height);
    if (HasFatalFailure()) return;

    // An empty document first, as at start-up.
    const TestMesh placeholder{{MeshVertex{}}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {}};
    show(placeholder);
    for (EdgeDetectDrawer* d : {&edgePassDrawer, &outputPassDrawer}) {
        d->setup(&gpuInfo, device, &context);
        d->init();
        d->recordCommandBuffers();
    }
    imageAvailable = device.createSemaphore({});
    frameFence = device.createFence(vk::FenceCreateInfo(vk::FenceCreateFlagBits::eSignaled));

    // A three-quarter view shows three faces of a cube.
    meshDrawer.camera.rotation = glm::rotate(glm::rotate(glm::mat4(1.0f), 0.5f, glm::vec3(1, 0, 0)), 0.7f,
                                             glm::vec3(0, 1, 0));
}

void ViewerRig::TearDown()
{
    if (device) {
        device.waitIdle();
        overlay.reset();
        edgePassDrawer.destroy();
        outputPassDrawer.destroy();
        lineDrawer.destroy();
        meshDrawer.destroy();
        if (imageAvailable) device.destroySemaphore(imageAvailable);
        if (frameFence) device.destroyFence(frameFence);
    }
    closeWindowDevice();
}

void ViewerRig::show(const TestMesh& mesh)
{
    if (device) device.waitIdle();
    const glm::vec3 lo(mesh.boxMin[0], mesh.boxMin[1], mesh.boxMin[2]);
    const glm::vec3 hi(mesh.boxMax[0], mesh.boxMax[1], mesh.boxMax[2]);
    const glm::vec3 c(mesh.centre[0], mesh.centre[1], mesh.centre[2]);
    fitCamera(meshDrawer.camera, lo, hi, c);
    if (!meshDrawer.initialised) {
        meshDrawer.setup(&gpuInfo, device, &context);
        meshDrawer.init(mesh.vertices, mesh.indices);
        meshDrawer.recordCommandBuffers();
    } else {
        meshDrawer.rebuild(mesh.vertices, mesh.indices);
    }
    rebuildLineOverlays(lineDrawer.geometry, lineDrawer.groups, mesh.vertices, lo, hi, c, mesh.boundaryEdges, {});
    if (!lineDrawer.initialised) {
        lineDrawer.setup(&gpuInfo, device, &context);
        lineDrawer.init();
        lineDrawer.recordCommandBuffers();
    } else {
        lineDrawer.rebuild();
    }
}

void ViewerRig::drawFrame()
{
    ASSERT_EQ(device.waitForFences(frameFence, VK_TRUE, UINT64_MAX), vk::Result::eSuccess);
    uint32_t imageIndex = 0;
    const vk::Result acquired =
        device.acquireNextImageKHR(context.swapchain.swapchain, UINT64_MAX, imageAvailable, {}, &imageIndex);
    ASSERT_TRUE(acquired == vk::Result::eSuccess || acquired == vk::Result::eSuboptimalKHR) << vk::to_string(acquired);
    device.resetFences(frameFence);

    meshDrawer.updateCamera(glm::vec2(0.0f));
    const Camera& camera = meshDrawer.camera;
    lastFrameRedrawn = !offscreenReuse.unchanged(
        {drawer::bytesOf(meshDrawer.transformUbo), drawer::bytesOf(camera.mvp), drawer::bytesOf(camera.edgeDetection)});
    if (overlay) {
        lastFrameRedrawn = lastFrameRedrawn || !overlay->holdsScene();
        overlay->draw(overlayCursor, imageIndex, overlayFps, lastFrameRedrawn);
    }
    vk::Semaphore waits[2] = {imageAvailable, {}};
    uint32_t waitCount = 1;
    vk::Semaphore last;
    if (lastFrameRedrawn) {
        last = meshDrawer.submit(queue, imageIndex, 0, nullptr);
        if (camera.edgeDetection) last = edgePassDrawer.submit(queue, imageIndex, 1, &last);
        lineDrawer.updateUniformBuffer(camera.mvp);
        last = lineDrawer.submit(queue, imageIndex, 1, &last);
    }
    if (overlay && overlay->submitDue()) last = overlay->submit(queue, last ? 1 : 0, &last);
    if (last) waits[waitCount++] = last;
    const vk::Semaphore rendered = outputPassDrawer.submit(queue, imageIndex, waitCount, waits);
    queue.submit({}, frameFence);
    const vk::Result presented =
        queue.presentKHR(vk::PresentInfoKHR(rendered, context.swapchain.swapchain, imageIndex));
    EXPECT_TRUE(presented == vk::Result::eSuccess || presented == vk::Result::eSuboptimalKHR);
    ++framesPresented;
}

void ViewerRig::setShadingMode(uint32_t mode)
{
    device.waitIdle();
    meshDrawer.camera.shadingMode = mode;
    meshDrawer.recordCommandBuffers();
}

void ViewerRig::setSketchMode(bool on)
{
    device.waitIdle();
    meshDrawer.camera.edgeDetection = on;
    lineDrawer.framebufferIndex = on ? 1 : 0;
    lineDrawer.recordCommandBuffers();
    if (overlay) overlay->framebufferIndex = on ? 1 : 0;
    outputPassDrawer.setAttachments(on ? 1 : 0, 0);
}

void ViewerRig::toggleGroup(const std::string& name)
{
    auto it = lineDrawer.groups.find(name);
    ASSERT_NE(it, lineDrawer.groups.end()) << name;
    it->second.visible = !it->second.visible;
    device.waitIdle();
    lineDrawer.recordCommandBuffers();
}

void ViewerRig::resize(int width, int height)
{
    glfwSetWindowSize(window, width, height);
    int w = 0, h = 0;
    for (int i = 0; i < 100 && (w != width || h != height); ++i) {
        glfwWaitEventsTimeout(0.02);
        glfwGetFramebufferSize(window, &w, &h);
    }
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    device.waitIdle();
    context.swapchain.create(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    context.createDepthImage();
    context.createColorAttachments();
    context.createFramebuffers(0);
    context.createFramebuffers(1);
    meshDrawer.onResize();
    edgePassDrawer.onResize();
    lineDrawer.onResize();
    outputPassDrawer.onResize();
    offscreenReuse.invalidate();
}

void ViewerRig::showOverlay()
{
    overlay = std::make_unique<UiDrawer>(false, false, 1, meshDrawer.camera.edgeDetection ? 1 : 0);
    overlay->fontScale = 1.5f;
    overlay->createSyncObjects(window, &gpuInfo, device, &context);
    overlay->init();
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
    bool same = expected.width == actual.width && expected.height == actual.height;
    size_t differing = 0;
    if (same) {
        const size_t count = size_t(actual.width) * actual.height;
        for (size_t i = 0; i < count * 4; i += 4) {
            for (int c = 0; c < 4; ++c) {
                if (std::abs(int(actual.pixels[i + c]) - int(expected.pixels[i + c])) > channelTolerance) {
                    ++differing;
                    break;
                }
            }
        }
        same = double(differing) <= maxDifferingShare * double(count);
    }
    if (!same) {
        fs::copy_file(actualPath, kept, fs::copy_options::overwrite_existing);
        ADD_FAILURE() << name << ": " << differing << " pixels differ from " << golden << " (sizes "
                      << actual.width << "x" << actual.height << " vs " << expected.width << "x"
                      << expected.height << "); actual image kept at " << kept;
    }
}
