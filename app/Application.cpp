#include "Application.h"

#include "Config.h"
#include "RgbaImage.h"
#include "StringUtils.h"
#include "VulkanCommon.h"
#include "VulkanInstance.h"

#include <GLFW/glfw3.h>
#include <imgui.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

Application::Application() : logger(spdlog::get("tamrel_log")) {}

Application::~Application()
{
    cleanup();
}

void Application::run(const std::vector<std::string>& args)
{
    logger->debug("Tamrel path : {}", getExecutableDir());
    logger->info("VK Header Version : {}", VK_HEADER_VERSION);

    // The drawers and the GUI overlay, in the order mesh, edge pass, lines,
    // GUI, output pass.
    initViewer();
    initUi();
    initPresentation();

    logger->debug("Pipelines init finished.");
    logger->debug("Swapchain color format: {}", vk::to_string(swapchainContext.swapchain.colorFormat));
    logger->debug("Swapchain color space: {}", vk::to_string(swapchainContext.swapchain.colorSpace));

    if (!args.empty()) {
        logger->info("Start main loop with {} extra command line arguments: {}", args.size(),
                     joinStrings(args, ",", "[%s]"));
    }
    mainLoop(args);
}

void Application::initViewer()
{
    initWindow();
    createInstance();
    initWindowSurface();
    selectGpu();
    createLogicalDevice();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    swapchainContext.init(physicalDevice, &gpuInfo, device, surface, static_cast<uint32_t>(width),
                          static_cast<uint32_t>(height));
    initDrawers();
}

void Application::initWindow()
{
    if (!glfwInit()) {
        const char* description = nullptr;
        glfwGetError(&description);
        throw std::runtime_error(std::string("@initWindow: glfwInit failed: ") +
                                 (description ? description : "unknown error"));
    }
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    window = glfwCreateWindow(WindowWidth, WindowHeight, "Tamrel", nullptr, nullptr);
    if (!window) {
        const char* description = nullptr;
        glfwGetError(&description);
        const std::string message = std::string("@initWindow: glfwCreateWindow failed: ") +
                                    (description ? description : "unknown error");
        // cleanup only ends GLFW along with a window.
        glfwTerminate();
        throw std::runtime_error(message);
    }

    int fw = 0, fh = 0;
    glfwGetFramebufferSize(window, &fw, &fh);
    if (GLFWmonitor* monitor = glfwGetPrimaryMonitor()) {
        int mx = 0, my = 0;
        glfwGetMonitorPos(monitor, &mx, &my);
        if (const GLFWvidmode* mode = glfwGetVideoMode(monitor)) {
            const double x = mx + mode->width / 2.0 - fw / 2.0;
            const double y = my + mode->height / 2.0 - fh / 2.0;
            glfwSetWindowPos(window, static_cast<int>(x), static_cast<int>(y));
        }
    }

    glfwSetWindowUserPointer(window, this);
    glfwSetFramebufferSizeCallback(window, framebufferSizeCallback);
    glfwSetWindowFocusCallback(window, windowFocusCallback);
    glfwSetScrollCallback(window, scrollCallback);
    glfwSetMouseButtonCallback(window, mouseButtonCallback);
    glfwSetKeyCallback(window, keyCallback);
    glfwSetDropCallback(window, dropCallback);
    glfwSetCharCallback(window, charCallback);

    RgbaImage icon(PathLogo.string());
    GLFWimage image{static_cast<int>(icon.width), static_cast<int>(icon.height), icon.pixels};
    glfwSetWindowIcon(window, 1, &image);
}

void Application::createInstance()
{
    instance = createVulkanInstance();
}

void Application::initWindowSurface()
{
    VkSurfaceKHR raw = VK_NULL_HANDLE;
    if (glfwCreateWindowSurface(instance, window, nullptr, &raw) != VK_SUCCESS) {
        logger->critical("Failed to create window surface!");
        throw std::runtime_error("@initWindowSurface");
    }
    surface = raw;
}

void Application::selectGpu()
{
    const VkInstance inst = instance;
    const auto devices = enumerateTwoCall<vk::PhysicalDevice>(
        [inst](uint32_t* count, vk::PhysicalDevice* data) {
            return vkEnumeratePhysicalDevices(inst, count, reinterpret_cast<VkPhysicalDevice*>(data));
        },
        "vk::Instance::enumeratePhysicalDevices");
    physicalDevice = ::selectGpu(devices, GpuSelectIdx, gpuInfo,
                                 [this](vk::PhysicalDevice chosen, GpuInfo& info) {
                                     physicalDevice = chosen;
                                     info.query(chosen, surface);
                                 });
}

void Application::createLogicalDevice()
{
    device = ::createLogicalDevice(physicalDevice, gpuInfo);
    graphicsQueue = device.getQueue(static_cast<uint32_t>(gpuInfo.graphicsFamily), 0);
    presentQueue = device.getQueue(static_cast<uint32_t>(gpuInfo.presentFamily), 0);
}

void Application::createSemaphores()
{
    imageAvailableSemaphore = device.createSemaphore({});
}

void Application::mainLoop(const std::vector<std::string>& args)
{
    scanCommandLine(args);
    while (!glfwWindowShouldClose(window)) {
        if (!focused) {
            glfwWaitEvents();
            continue;
        }
        double x = 0, y = 0;
        glfwGetCursorPos(window, &x, &y);
        cursorPos[0] = static_cast<float>(x);
        cursorPos[1] = static_cast<float>(y);

        glfwPollEvents();

        if (pendingActions & PendingAction::SwapchainResize) {
            int width = 0, height = 0;
            glfwGetFramebufferSize(window, &width, &height);
            if (width == 0 || height == 0) {
                // Minimised: no swapchain of that size can exist; wait for a size.
                glfwWaitEvents();
                continue;
            }
            pendingActions &= ~PendingAction::SwapchainResize;
            recreateSwapchain(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        }
        if (pendingActions & PendingAction::IoMask) processIoActions();
        if (pendingActions & PendingAction::RemeshMask) processRemeshActions();
        if (pendingActions & PendingAction::RenderSettingsMask) processRenderSettings();
        drawFrame();

        updateFrameTiming();
    }

    // The window and GLFW stay until cleanup has released the swapchain and
    // the surface, which still use the display connection.
    if (device) device.waitIdle();
}

void Application::updateFrameTiming()
{
    const double t = static_cast<double>(Timer::nowNs() - timer.start) / 1e9;
    // The GUI library refuses a frame without time passing.
    ImGui::GetIO().DeltaTime = std::max(static_cast<float>(t - lastFrameTime), 1e-6f);
    ++frameCount;
    lastFrameTime = t;
    if (t - lastFpsTime >= 1.5) {
        fps = static_cast<uint32_t>(static_cast<float>(frameCount) / static_cast<float>(t - lastFpsTime));
        lastFpsTime = t;
        frameCount = 0;
    }
}

void Application::updateWindowTitle(uint64_t vertexCount, uint64_t faceCount)
{
    const std::string fileName = std::filesystem::path(uiDrawer.modelPath).filename().string();
    const std::string title = stringFormat("%s | %s (V:%lu F:%lu)", "Tamrel", fileName.c_str(),
                                           static_cast<unsigned long>(vertexCount),
                                           static_cast<unsigned long>(faceCount));
    glfwSetWindowTitle(window, title.c_str());
}

void Application::cleanup()
{
    // A failure may leave the loop while submitted work still runs.
    if (device) {
        try {
            device.waitIdle();
        } catch (const vk::SystemError&) {
        }
    }

    // Drawers first: edge pass, output pass, GUI overlay, lines, mesh.
    destroyDrawers();

    swapchainContext.cleanup();
    if (imageAvailableSemaphore) {
        device.destroySemaphore(imageAvailableSemaphore);
        imageAvailableSemaphore = nullptr;
    }
    if (device) {
        device.destroy();
        device = nullptr;
        graphicsQueue = nullptr;
        presentQueue = nullptr;
    }
    if (surface) {
        instance.destroySurfaceKHR(surface);
        surface = nullptr;
    }
    if (debugReportCallback) {
        auto destroy = reinterpret_cast<PFN_vkDestroyDebugReportCallbackEXT>(
            vkGetInstanceProcAddr(instance, "vkDestroyDebugReportCallbackEXT"));
        if (destroy) destroy(instance, debugReportCallback, nullptr);
        debugReportCallback = VK_NULL_HANDLE;
    }
    if (instance) {
        instance.destroy();
        instance = nullptr;
    }
    // Last: the display connection goes with them.
    if (window) {
        glfwDestroyWindow(window);
        window = nullptr;
        glfwTerminate();
    }
}

void Application::framebufferSizeCallback(GLFWwindow* window, int width, int height)
{
    auto* app = static_cast<Application*>(glfwGetWindowUserPointer(window));
    if (width >= 1 && height >= 1) app->pendingActions |= PendingAction::SwapchainResize;
}
