#pragma once
// The Vulkan instance of the run and the fixed name lists the Vulkan context
// asks for. Main thread only.

#include <vulkan/vulkan.hpp>

#include <string>
#include <vector>

// Instance extensions GLFW needs for a window surface; with validate, each
// must be offered by the loader ("@GetRequiredInsExtns" otherwise).
std::vector<std::string> GetRequiredInsExtns(bool validate);

// Instance layers to enable: none.
std::vector<std::string> GetRequiredLayers(bool validate);

// Device extensions a GPU must offer and the logical device enables.
std::vector<std::string> GetRequiredDeviceExtns();

// Logs each offered name at debug level, then throws "@GetRequiredInsExtns"
// after a critical line for the first required name not offered.
void checkInstanceExtensions(const std::vector<std::string>& required,
                             const std::vector<vk::ExtensionProperties>& offered);

// Creates the instance with the application description, no layers and the
// required instance extensions.
vk::Instance createVulkanInstance();
