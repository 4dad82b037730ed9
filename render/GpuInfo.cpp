#include "GpuInfo.h"

#include "StringUtils.h"
#include "VulkanCommon.h"
#include "VulkanInstance.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>

void GpuInfo::query(vk::PhysicalDevice physicalDevice, vk::SurfaceKHR surface)
{
    properties = physicalDevice.getProperties();
    features = physicalDevice.getFeatures();
    memoryProperties = physicalDevice.getMemoryProperties();
    queueFamilies = physicalDevice.getQueueFamilyProperties();

    const VkPhysicalDevice pd = physicalDevice;
    extensions = enumerateTwoCall<vk::ExtensionProperties>(
        [pd](uint32_t* count, vk::ExtensionProperties* data) {
            return vkEnumerateDeviceExtensionProperties(pd, nullptr, count,
                                                        reinterpret_cast<VkExtensionProperties*>(data));
        },
        "vk::PhysicalDevice::enumerateDeviceExtensionProperties");
    layers = enumerateTwoCall<vk::LayerProperties>(
        [pd](uint32_t* count, vk::LayerProperties* data) {
            return vkEnumerateDeviceLayerProperties(pd, count, reinterpret_cast<VkLayerProperties*>(data));
        },
        "vk::PhysicalDevice::enumerateDeviceLayerProperties");

    graphicsFamily = findQueueFamily(VK_QUEUE_GRAPHICS_BIT);
    computeFamily = findQueueFamily(VK_QUEUE_COMPUTE_BIT);
    transferFamily = findQueueFamily(VK_QUEUE_TRANSFER_BIT);
    presentFamily = findPresentQueueFamily(physicalDevice, surface);
}

int32_t GpuInfo::findQueueFamily(uint32_t flag) const
{
    constexpr uint32_t kindMask = VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT | VK_QUEUE_TRANSFER_BIT;
    for (size_t i = 0; i < queueFamilies.size(); ++i) {
        const auto flags = static_cast<uint32_t>(queueFamilies[i].queueFlags);
        if ((flags & kindMask) == flag) return static_cast<int32_t>(i);
    }
    for (size_t i = 0; i < queueFamilies.size(); ++i) {
        const auto flags = static_cast<uint32_t>(queueFamilies[i].queueFlags);
        if (flags & flag) return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t GpuInfo::findPresentQueueFamily(vk::PhysicalDevice physicalDevice, vk::SurfaceKHR surface) const
{
    if (!surface) return -1;
    for (uint32_t i = 0; i < queueFamilies.size(); ++i) {
        if (physicalDevice.getSurfaceSupportKHR(i, surface)) return static_cast<int32_t>(i);
    }
    return -1;
}

uint32_t gpuSelectIndex(uint32_t count, int32_t selectIdx)
{
    return std::min(count - 1, static_cast<uint32_t>(selectIdx));
}

bool gpuIsCapable(const GpuInfo& info)
{
    const auto& f = info.features;
    if (!f.geometryShader || !f.fillModeNonSolid || !f.wideLines || !f.samplerAnisotropy) return false;
    if (info.graphicsFamily < 0 || info.transferFamily < 0 || info.presentFamily < 0) return false;
    for (const std::string& name : GetRequiredDeviceExtns()) {
        const bool offered = std::any_of(info.extensions.begin(), info.extensions.end(),
                                         [&](const vk::ExtensionProperties& e) {
                                             return std::strcmp(e.extensionName.data(), name.c_str()) == 0;
                                         });
        if (!offered) return false;
    }
    return true;
}

vk::PhysicalDevice selectGpu(const std::vector<vk::PhysicalDevice>& devices, int32_t selectIdx, GpuInfo& info,
                             const std::function<void(vk::PhysicalDevice, GpuInfo&)>& query)
{
    spdlog::logger& log = renderLogger();
    if (devices.empty()) {
        log.critical("failed to find any physical device (GPU)!");
        throw std::runtime_error("@selectGpu");
    }
    uint32_t index = 0;
    if (devices.size() > 1) {
        log.info("Found {} physical device(s)", devices.size());
        index = gpuSelectIndex(static_cast<uint32_t>(devices.size()), selectIdx);
    }
    const vk::PhysicalDevice chosen = devices[index];
    query(chosen, info);

    const char* name = info.properties.deviceName.data();
    if (!gpuIsCapable(info)) {
        log.critical("GPU device <{}> is not capable of running this program!", name);
        throw std::runtime_error("@selectGpu");
    }
    log.info("Selected GPU device: {}", name);
    log.debug("GPU queue info: {}",
              stringFormat("queue family index: graphic = %i | compute = %i | transfer = %i | "
                           "presenting = %i",
                           info.graphicsFamily, info.computeFamily, info.transferFamily, info.presentFamily));
    return chosen;
}

std::vector<uint32_t> deviceQueueFamilies(const GpuInfo& info)
{
    std::set<uint32_t> families;
    for (int32_t family : {info.graphicsFamily, info.presentFamily, info.transferFamily}) {
        if (family >= 0) families.insert(static_cast<uint32_t>(family));
    }
    return {families.begin(), families.end()};
}

vk::Device createLogicalDevice(vk::PhysicalDevice physicalDevice, const GpuInfo& info)
{
    const float priority = 1.0f;
    std::vector<vk::DeviceQueueCreateInfo> queues;
    for (uint32_t family : deviceQueueFamilies(info)) {
        queues.push_back(vk::DeviceQueueCreateInfo({}, family, 1, &priority));
    }

    vk::PhysicalDeviceFeatures features;
    features.geometryShader = VK_TRUE;
    features.fillModeNonSolid = VK_TRUE;
    features.wideLines = VK_TRUE;
    features.samplerAnisotropy = VK_TRUE;

    const std::vector<std::string> extensionNames = GetRequiredDeviceExtns();
    std::vector<const char*> extensions;
    for (const std::string& name : extensionNames)
        extensions.push_back(name.c_str());

    vk::DeviceCreateInfo createInfo({}, queues, {}, extensions, &features);
    return physicalDevice.createDevice(createInfo);
}
