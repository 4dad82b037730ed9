#include "WindowDevice.h"

#include "VulkanInstance.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

namespace rendertest {

void WindowDevice::openWindowDevice(const char* title, int width, int height)
{
    ASSERT_TRUE(glfwInit()) << "no X display";
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    window = glfwCreateWindow(width, height, title, nullptr, nullptr);
    ASSERT_TRUE(window);

    instance = createVulkanInstance();
    VkSurfaceKHR raw = VK_NULL_HANDLE;
    ASSERT_EQ(glfwCreateWindowSurface(instance, window, nullptr, &raw), VK_SUCCESS);
    surface = raw;
    physicalDevice = selectGpu(instance.enumeratePhysicalDevices(), 0, gpuInfo,
                               [this](vk::PhysicalDevice pd, GpuInfo& info) { info.query(pd, surface); });
    device = createLogicalDevice(physicalDevice, gpuInfo);
    queue = device.getQueue(static_cast<uint32_t>(gpuInfo.graphicsFamily), 0);
    context.init(physicalDevice, &gpuInfo, device, surface, static_cast<uint32_t>(width),
                 static_cast<uint32_t>(height));
}

void WindowDevice::closeWindowDevice()
{
    if (device) {
        device.waitIdle();
        context.cleanup();
        device.destroy();
    }
    if (surface) instance.destroySurfaceKHR(surface);
    if (instance) instance.destroy();
    if (window) glfwDestroyWindow(window);
    glfwTerminate();
}

} // namespace rendertest
