#pragma once
// The one application object: owns the window, the Vulkan context, the
// drawers and the mesh document for the whole run, brings them up in order,
// runs the main loop and tears everything down. Main thread only.

#include "GpuInfo.h"
#include "PendingActions.h"
#include "SwapchainContext.h"
#include "TaskStatus.h"
#include "Timer.h"
#include "TriMesh.h"

#include <vulkan/vulkan.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct GLFWwindow;
namespace spdlog {
class logger;
}

// The request fields that the GUI overlay reads and writes: the current
// model file, the save target, the remesh parameters and the progress record
// of the running document task.
struct UiRequests {
    std::string modelPath;
    std::string savePath;
    std::string saveFormatId;
    float targetDensity = 1.0f;
    int32_t remeshType = 0;
    bool continuousRemesh = false;
    float sizeRatio = 5.0f;
    TaskStatus taskStatus;
};

class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void run(const std::vector<std::string>& args);
    void cleanup();

    void updateWindowTitle(uint64_t vertexCount, uint64_t faceCount);

    // Window callbacks find the application through the window's user pointer.
    static void framebufferSizeCallback(GLFWwindow* window, int width, int height);
    static void focusCallback(GLFWwindow* window, int focused);

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
    vk::Queue graphicsQueue;
    vk::Queue presentQueue;
    TriMesh document;
    uint64_t pendingActions = 0;

    UiRequests requests;

private:
    void initWindow();
    void createInstance();
    void initWindowSurface();
    void selectGpu();
    void createLogicalDevice();
    void createSemaphores();
    void mainLoop(const std::vector<std::string>& args);
    void scanCommandLine(const std::vector<std::string>& args);
    void attachTaskStatus();
    void processIoActions();
    void processRemeshActions();
    void updateFrameTiming();

    // The file of the document on screen, and the one a running load reads.
    std::string loadedModelPath;
    std::string loadingModelPath;
};
