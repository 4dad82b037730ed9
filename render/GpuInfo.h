#pragma once
// The chosen GPU: its properties, features, memory properties, queue
// families and the queue family indices the renderer uses; plus the rules
// that choose the GPU and open the logical device on it. Filled once at
// start-up on the main thread, then only read (every drawer points to it).

#include <vulkan/vulkan.hpp>

#include <cstdint>
#include <functional>
#include <vector>

struct GpuInfo {
    vk::PhysicalDeviceProperties properties;
    vk::PhysicalDeviceFeatures features;
    vk::PhysicalDeviceMemoryProperties memoryProperties;
    std::vector<vk::QueueFamilyProperties> queueFamilies;
    std::vector<vk::ExtensionProperties> extensions;
    std::vector<vk::LayerProperties> layers;
    int32_t graphicsFamily = -1;
    int32_t computeFamily = -1;
    int32_t transferFamily = -1;
    int32_t presentFamily = -1;

    // Fills every field from the device; without a surface nothing can
    // present and presentFamily stays -1.
    void query(vk::PhysicalDevice physicalDevice, vk::SurfaceKHR surface);

    // flag is one of 1 (graphics), 2 (compute), 4 (transfer): a family that
    // does only that kind of work wins, else the first that can do it; -1.
    int32_t findQueueFamily(uint32_t flag) const;

    int32_t findPresentQueueFamily(vk::PhysicalDevice physicalDevice, vk::SurfaceKHR surface) const;
};

// Index of the device to use among `count` devices for the configured
// GpuSelectIdx: beyond the end, and any negative setting, is the last one.
uint32_t gpuSelectIndex(uint32_t count, int32_t selectIdx);

// Whether the device has every feature, queue family and device extension
// the renderer needs.
bool gpuIsCapable(const GpuInfo& info);

// Chooses one of `devices` by selectIdx, fills `info` through `query` for the
// chosen device only, refuses an incapable one (critical log, "@selectGpu")
// and logs the choice. Returns the chosen device.
vk::PhysicalDevice selectGpu(const std::vector<vk::PhysicalDevice>& devices, int32_t selectIdx, GpuInfo& info,
                             const std::function<void(vk::PhysicalDevice, GpuInfo&)>& query);

// The distinct queue families (graphics, present, transfer) that get one
// queue each, in ascending order.
std::vector<uint32_t> deviceQueueFamilies(const GpuInfo& info);

// Opens the logical device with the required features and extensions.
vk::Device createLogicalDevice(vk::PhysicalDevice physicalDevice, const GpuInfo& info);
