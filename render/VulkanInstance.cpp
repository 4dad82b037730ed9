#include "VulkanInstance.h"

#include "VulkanCommon.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

std::vector<std::string> GetRequiredInsExtns(bool validate)
{
    std::vector<std::string> names;
    uint32_t count = 0;
    const char** glfwNames = glfwGetRequiredInstanceExtensions(&count);
    for (uint32_t i = 0; glfwNames && i < count; ++i)
        names.emplace_back(glfwNames[i]);
    if (names.empty() || !validate) return names;

    const auto offered = enumerateTwoCall<vk::ExtensionProperties>(
        [](uint32_t* n, vk::ExtensionProperties* data) {
            return vkEnumerateInstanceExtensionProperties(nullptr, n,
                                                          reinterpret_cast<VkExtensionProperties*>(data));
        },
        "vk::enumerateInstanceExtensionProperties");
    checkInstanceExtensions(names, offered);
    return names;
}

void checkInstanceExtensions(const std::vector<std::string>& required,
                             const std::vector<vk::ExtensionProperties>& offered)
{
    spdlog::logger& log = renderLogger();
    for (const auto& extension : offered) {
        log.debug("instance extension found: {}", extension.extensionName.data());
    }
    for (const std::string& name : required) {
        const bool found = std::any_of(offered.begin(), offered.end(), [&](const auto& e) {
            return std::strcmp(e.extensionName.data(), name.c_str()) == 0;
        });
        if (!found) {
            log.critical("extension {} requested, but not available!", name);
            throw std::runtime_error("@GetRequiredInsExtns");
        }
    }
}

std::vector<std::string> GetRequiredLayers(bool /*validate*/)
{
    return {};
}

std::vector<std::string> GetRequiredDeviceExtns()
{
    return {VK_KHR_SWAPCHAIN_EXTENSION_NAME};
}

vk::Instance createVulkanInstance()
{
    const vk::ApplicationInfo appInfo("Tamrel", VK_MAKE_VERSION(1, 0, 0), nullptr, 0, 0);

    const std::vector<std::string> layerNames = GetRequiredLayers(true);
    const std::vector<std::string> extensionNames = GetRequiredInsExtns(true);
    std::vector<const char*> layers;
    std::vector<const char*> extensions;
    for (const auto& name : layerNames)
        layers.push_back(name.c_str());
    for (const auto& name : extensionNames)
        extensions.push_back(name.c_str());

    const vk::InstanceCreateInfo createInfo({}, &appInfo, layers, extensions);
    return vk::createInstance(createInfo);
}
