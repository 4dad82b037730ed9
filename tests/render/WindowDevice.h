#pragma once
// What the window tests of the renderer stand on: a window (Xvfb), its
// surface, the selected GPU, a logical device with its graphics queue and a
// swapchain context of the window's size.

#include "GpuInfo.h"
#include "SwapchainContext.h"

#include <vulkan/vulkan.hpp>

struct GLFWwindow;

namespace rendertest {

struct WindowDevice {
    // Brings everything up; a failing step fails the calling test.
    void openWindowDevice(const char* title, int width, int height);
    // Waits for the device, cleans up the context and releases everything;
    // destroy the objects made on the device first.
    void closeWindowDevice();

    GLFWwindow* window = nullptr;
    vk::Instance instance;
    vk::SurfaceKHR surface;
    vk::PhysicalDevice physicalDevice;
    GpuInfo gpuInfo;
    vk::Device device;
    vk::Queue queue;
    SwapchainContext context;
};

} // namespace rendertest
