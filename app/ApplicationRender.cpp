// The application's side of the viewer: bringing the drawers up and down,
// mesh upload with the camera fit, the line overlays, the render-setting
// actions and the screenshot.

#include "Application.h"

#include "Config.h"
#include "LineGeometry.h"
#include "MeshVertex.h"
#include "UiRules.h"

#include <GLFW/glfw3.h>
#include <glm/glm.hpp>
#include <spdlog/spdlog.h>

#include <ctime>
#include <filesystem>

namespace {

glm::vec3 toVec3(const float v[3])
{
    return {v[0], v[1], v[2]};
}

// The empty document is drawn as one zero vertex and one degenerate triangle.
const std::vector<MeshVertex>& placeholderVertices()
{
    static const std::vector<MeshVertex> vertices(1, MeshVertex{});
    return vertices;
}

const std::vector<uint32_t>& placeholderIndices()
{
    static const std::vector<uint32_t> indices = {0, 0, 0};
    return indices;
}

template <typename Drawer>
void setUpOrRebuild(Drawer& drawer, const GpuInfo* gpuInfo, vk::Device device, SwapchainContext* context)
{
    if (!drawer.initialised) {
        drawer.setup(gpuInfo, device, context);
        drawer.init();
        drawer.recordCommandBuffers();
    } else {
        // The rebuild replaces buffers that earlier frames may still read.
        device.waitIdle();
        drawer.rebuild();
    }
}

} // namespace

void Application::initDrawers()
{
    loadMeshToRenderer(true);
    setUpOrRebuild(edgePassDrawer, &gpuInfo, device, &swapchainContext);
    refreshLineGeometry();
}

void Application::initUi()
{
    if (uiDrawer.initialised) return;
    uint32_t dpi = 0;
    if (GLFWmonitor* monitor = glfwGetPrimaryMonitor()) {
        int widthMm = 0, heightMm = 0;
        glfwGetMonitorPhysicalSize(monitor, &widthMm, &heightMm);
        if (const GLFWvidmode* mode = glfwGetVideoMode(monitor)) dpi = ui::screenDpi(mode->width, widthMm);
    }
    uiDrawer.fontScale = ui::fontScaleForDpi(dpi);
    logger->info("Screen dpi: {} => Auto font scale: {}", dpi, uiDrawer.fontScale);
    uiDrawer.createSyncObjects(window, &gpuInfo, device, &swapchainContext);
    uiDrawer.init();
    uiDrawer.pendingActions = &pendingActions;
    uiDrawer.exportFormats = &document.exportFormats;
    uiDrawer.importers = &document.importFormats;
}

void Application::initPresentation()
{
    setUpOrRebuild(outputPassDrawer, &gpuInfo, device, &swapchainContext);
    createSemaphores();
    // Signalled, so that the first frame does not wait.
    frameFence = device.createFence(vk::FenceCreateInfo(vk::FenceCreateFlagBits::eSignaled));
}

void Application::destroyDrawers()
{
    edgePassDrawer.destroy();
    outputPassDrawer.destroy();
    uiDrawer.destroy();
    lineDrawer.destroy();
    meshDrawer.destroy();
    if (frameFence) {
        device.destroyFence(frameFence);
        frameFence = nullptr;
    }
}

void Application::loadMeshToRenderer(bool reset)
{
    if (document.vertices.empty()) {
        const float zero[3] = {0, 0, 0};
        fitCameraAndUploadMesh(placeholderVertices(), placeholderIndices(), zero, zero, zero, reset);
    } else {
        fitCameraAndUploadMesh(document.vertices, document.indices, document.bboxMin, document.bboxMax,
                               document.center, reset);
    }
}

void Application::fitCameraAndUploadMesh(const std::vector<MeshVertex>& vertices,
                                         const std::vector<uint32_t>& indices, const float boxMin[3],
                                         const float boxMax[3], const float centre[3], bool reset)
{
    if (reset) fitCamera(meshDrawer.camera, toVec3(boxMin), toVec3(boxMax), toVec3(centre));
    if (!meshDrawer.initialised) {
        meshDrawer.setup(&gpuInfo, device, &swapchainContext);
        meshDrawer.init(vertices, indices);
        meshDrawer.recordCommandBuffers();
    } else {
        device.waitIdle();
        meshDrawer.rebuild(vertices, indices);
    }
}

void Application::updateLineGeometry(const std::vector<MeshVertex>& vertices, const float boxMin[3],
                                     const float boxMax[3], const float centre[3],
                                     const std::vector<MeshVertex>& boundaryEdges,
                                     const std::vector<MeshVertex>& complexEdges)
{
    rebuildLineOverlays(lineDrawer.geometry, lineDrawer.groups, vertices, toVec3(boxMin), toVec3(boxMax),
                        toVec3(centre), boundaryEdges, complexEdges);
    setUpOrRebuild(lineDrawer, &gpuInfo, device, &swapchainContext);
}

void Application::refreshLineGeometry()
{
    updateLineGeometry(document.vertices, document.bboxMin, document.bboxMax, document.center,
                       document.boundaryEdges, document.complexEdges);
}

void Application::resetView()
{
    // Only the camera is refitted to the document's box: the drawn mesh (a
    // remesh preview, perhaps) and its overlays stay what they are.
    fitCamera(meshDrawer.camera, toVec3(document.bboxMin), toVec3(document.bboxMax), toVec3(document.center));
}

void Application::rerecordMesh()
{
    device.waitIdle();
    meshDrawer.recordCommandBuffers();
}

void Application::processRenderSettings()
{
    namespace PA = PendingAction;
    Camera& camera = meshDrawer.camera;

    if (pendingActions & PA::ResetView) {
        pendingActions &= ~PA::ResetView;
        resetView();
        initUi();
    }

    if (pendingActions & PA::SwitchStyle) {
        pendingActions &= ~PA::SwitchStyle;
        switch (camera.shadingMode) {
        case ShadingMode::Matcap:
        case ShadingMode::MatcapEdge:
            ++camera.matcapIndex;
            logger->debug("enable texture {}", camera.matcapIndex);
            if (camera.matcapIndex >= meshDrawer.matcapLayerCount) {
                camera.matcapIndex = 0;
                camera.shadingMode += 2;
                rerecordMesh();
            }
            break;
        case ShadingMode::Phong:
        case ShadingMode::PhongEdge:
            camera.shadingMode -= 2;
            rerecordMesh();
            break;
        default:
            break;
        }
    }

    if (pendingActions & PA::ToggleProjection) {
        pendingActions &= ~PA::ToggleProjection;
        camera.perspective = !camera.perspective;
    }

    if (pendingActions & PA::ToggleGrid) {
        if (camera.edgeDetection) {
            logger->warn("Can not render wireframe under edge detection mode.");
            pendingActions &= ~PA::ToggleGrid;
            return;
        }
        pendingActions &= ~PA::ToggleGrid;
        switch (camera.shadingMode) {
        case ShadingMode::Matcap: camera.shadingMode = ShadingMode::MatcapEdge; break;
        case ShadingMode::MatcapEdge: camera.shadingMode = ShadingMode::Matcap; break;
        case ShadingMode::Phong: camera.shadingMode = ShadingMode::PhongEdge; break;
        case ShadingMode::PhongEdge: camera.shadingMode = ShadingMode::Phong; break;
        default: break;
        }
        rerecordMesh();
    } else if (pendingActions & PA::ToggleWireframe) {
        pendingActions &= ~PA::ToggleWireframe;
        if (camera.edgeDetection) {
            logger->warn("Can not render wireframe under edge detection mode.");
            return;
        }
        camera.shadingMode =
            camera.shadingMode == ShadingMode::Wireframe ? ShadingMode::Matcap : ShadingMode::Wireframe;
        rerecordMesh();
    }

    if (pendingActions & PA::ToggleSketchMode) {
        pendingActions &= ~PA::ToggleSketchMode;
        if (camera.shadingMode != ShadingMode::Matcap && camera.shadingMode != ShadingMode::Phong) {
            logger->warn("Edge detection is disabled under wireframe rendering mode.");
            return;
        }
        camera.edgeDetection = !camera.edgeDetection;
        device.waitIdle();
        const uint32_t target = camera.edgeDetection ? 1 : 0;
        lineDrawer.framebufferIndex = target;
        lineDrawer.recordCommandBuffers();
        uiDrawer.framebufferIndex = target;
        outputPassDrawer.setAttachments(target, 0);
    }

    const std::pair<uint64_t, const char*> groups[] = {{PA::ToggleNormals, "normals"},
                                                       {PA::ToggleBoundaryEdges, "edges_boundary"},
                                                       {PA::ToggleComplexEdges, "edges_complex"},
                                                       {PA::ToggleAxis, "axis"},
                                                       {PA::ToggleBoundingBox, "aabb"}};
    for (const auto& [bit, name] : groups) {
        if (pendingActions & bit) {
            pendingActions &= ~bit;
            toggleLineDrawer(name);
        }
    }
}

void Application::toggleLineDrawer(const std::string& name)
{
    auto it = lineDrawer.groups.find(name);
    if (it == lineDrawer.groups.end()) return;
    it->second.visible = !it->second.visible;
    device.waitIdle();
    lineDrawer.recordCommandBuffers();
}

void Application::takeScreenshot()
{
    pendingActions &= ~PendingAction::ScreenshotRequested;
    // Right after a swapchain rebuild the offscreen images hold no picture
    // yet: take the shot after the next frame.
    if (!offscreenReuse.holdsPicture()) {
        pendingActions |= PendingAction::ScreenshotRequested;
        return;
    }
    const uint32_t attachment = meshDrawer.camera.edgeDetection ? 1 : 0;
    try {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char name[32];
        std::strftime(name, sizeof(name), "%Y%m%d_%H%M%S", &local);
        const std::filesystem::path folder = PathScreenshots;
        if (!std::filesystem::is_directory(folder)) std::filesystem::create_directory(folder);
        const std::string path = (folder / (std::string(name) + ".png")).string();
        swapchainContext.captureScreenshot(path, attachment);
        logger->info("New screenshot : {}", path);
    } catch (const std::exception& e) {
        logger->error("{}", e.what());
    }
}
