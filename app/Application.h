#pragma once
// The one application object: owns the window, the Vulkan context, the
// drawers and the mesh document for the whole run, brings them up in order,
// runs the main loop and tears everything down. Main thread only.

#include "DrawerSkeleton.h"
#include "EdgeDetectDrawer.h"
#include "GpuInfo.h"
#include "LineDrawer.h"
#include "MeshDrawer.h"
#include "PendingActions.h"
#include "SwapchainContext.h"
#include "Timer.h"
#include "TriMesh.h"
#include "UiDrawer.h"

#include <glm/glm.hpp>
#include <vulkan/vulkan.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct GLFWwindow;
namespace spdlog {
class logger;
}

class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void run(const std::vector<std::string>& args);
    // The two halves of run's start-up around the GUI overlay (initUi): the
    // window, the Vulkan context and the mesh, edge-pass and line drawers;
    // then the output pass and the frame's synchronisation objects. Frames
    // can be drawn once both have run, with or without the overlay.
    void initViewer();
    void initPresentation();
    void cleanup();

    void updateWindowTitle(uint64_t vertexCount, uint64_t faceCount);

    // Brings the GUI overlay up; does nothing once it is up.
    void initUi();

    // Shows the document's mesh (an empty one as one degenerate triangle);
    // with reset the camera is fitted to its bounding box. The uploads and
    // the overlay rebuild wait for the device themselves before they replace
    // buffers that earlier frames may still read.
    void loadMeshToRenderer(bool reset);
    void fitCameraAndUploadMesh(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices,
                                const float boxMin[3], const float boxMax[3], const float centre[3], bool reset);
    // Rebuilds the line overlays, keeping each group's visibility.
    void updateLineGeometry(const std::vector<MeshVertex>& vertices, const float boxMin[3], const float boxMax[3],
                            const float centre[3], const std::vector<MeshVertex>& boundaryEdges,
                            const std::vector<MeshVertex>& complexEdges);
    // updateLineGeometry with the document's own data.
    void refreshLineGeometry();
    void processRenderSettings();
    void toggleLineDrawer(const std::string& name);
    // Writes the finished picture of the last frame as a time-stamped PNG
    // into the screenshot folder; clears the request bit.
    void takeScreenshot();
    void drawFrame();
    void recreateSwapchain(uint32_t width, uint32_t height);
    // The main loop's handlers of the file and screenshot bits and of the
    // remesh, smooth, apply and restore bits.
    void processIoActions();
    void processRemeshActions();

    // Window callbacks find the application through the window's user pointer.
    static void framebufferSizeCallback(GLFWwindow* window, int width, int height);
    static void windowFocusCallback(GLFWwindow* window, int focused);
    static void keyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);
    static void mouseButtonCallback(GLFWwindow* window, int button, int action, int mods);
    static void scrollCallback(GLFWwindow* window, double xOffset, double yOffset);
    static void dropCallback(GLFWwindow* window, int count, const char** paths);
    static void charCallback(GLFWwindow* window, unsigned int codePoint);
    // The callbacks' decisions: each event goes to the GUI overlay while it
    // wants that device, else to the camera and the shortcut keys.
    void onKey(int key, int action, int mods);
    void onMouseButton(int button, int action, glm::vec2 cursor);
    void onScroll(double xOffset, double yOffset);
    void onFocus(bool gained, glm::vec2 cursor);
    void onDrop(int count, const char** paths);

    std::shared_ptr<spdlog::logger> logger;
    Timer timer;
    // Seconds since construction; kept in double so that frame deltas stay
    // resolvable however long the program runs.
    double lastFrameTime = 0;
    uint32_t frameCount = 0;
    double lastFpsTime = 0;
    uint32_t fps = 0;
    float cursorPos[2] = {0, 0};
    uint8_t altHeld = 0;
    uint8_t ctrlHeld = 0;
    uint8_t shiftHeld = 0;
    uint8_t focused = 1;
    GLFWwindow* window = nullptr;
    vk::Instance instance;
    // Never created; released in cleanup only if it ever is.
    VkDebugReportCallbackEXT debugReportCallback = VK_NULL_HANDLE;
    vk::SurfaceKHR surface;
    vk::PhysicalDevice physicalDevice;
    GpuInfo gpuInfo;
    vk::Device device;
    vk::Semaphore imageAvailableSemaphore;
    SwapchainContext swapchainContext;
    MeshDrawer meshDrawer{true, false, 1, 0};
    EdgeDetectDrawer edgePassDrawer{true, false, 1, 0, 1, 1};
    LineDrawer lineDrawer{false, false, 1, 0};
    UiDrawer uiDrawer{false, false, 1, 0};
    EdgeDetectDrawer outputPassDrawer{true, true, 0, 0, 0, 0};
    vk::Queue graphicsQueue;
    vk::Queue presentQueue;
    TriMesh document;
    uint64_t pendingActions = 0;
    // Signalled when a frame's last pass has finished: one frame in flight.
    vk::Fence frameFence;
    // Leaves out the offscreen passes of frames that would redraw the same
    // picture, and tells whether the offscreen images hold one yet.
    drawer::OffscreenReuse offscreenReuse;

private:
    void initWindow();
    void createInstance();
    void initWindowSurface();
    void selectGpu();
    void createLogicalDevice();
    void createSemaphores();
    // The drawers' start-up before and after the GUI overlay, and their release.
    void initDrawers();
    void destroyDrawers();
    void resetView();
    void rerecordMesh();
    void mainLoop(const std::vector<std::string>& args);
    void scanCommandLine(const std::vector<std::string>& args);
    void attachTaskStatus();
    void updateFrameTiming();

    // The file of the document on screen, and the one a running load reads.
    std::string loadedModelPath;
    std::string loadingModelPath;
};
