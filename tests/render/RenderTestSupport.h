#pragma once
// Shared pieces of the renderer tests: a capture of the "tamrel_log" lines
// and a headless Vulkan device on the machine's GPU (lavapipe here).

#include "GpuInfo.h"

#include <vulkan/vulkan.hpp>

#include <gtest/gtest.h>

#include <string>

namespace rendertest {

// Registers "tamrel_log" (debug level, "<level> <text>" lines) on first use
// and returns everything logged since the last clearLog().
std::string logText();
void clearLog();

// An instance, the first GPU and a logical device with its graphics queue
// family and a command pool, without any window.
class HeadlessDevice : public testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    static vk::Instance instance;
    static vk::PhysicalDevice physicalDevice;
    static GpuInfo gpuInfo;
    static vk::Device device;
    static vk::CommandPool pool;
    static uint32_t family;
};

} // namespace rendertest
