#pragma once
// A command buffer recorded once, submitted alone and waited for with a
// fence: set-up copies, layout transitions and screenshot read-backs. Lives
// on the caller's stack; main thread only. Usage: fill device, pool and
// queueFamilyIndex; begin; record; submitAndWait; free.

#include <vulkan/vulkan.hpp>

#include <cstdint>

struct OneShotCommand {
    vk::Device device;
    vk::CommandPool pool;
    uint32_t queueFamilyIndex = 0;
    vk::CommandBuffer commandBuffer;

    // Allocates one primary buffer from pool and begins it for one submission.
    void begin();
    // Ends, submits to queue 0 of queueFamilyIndex and blocks until done.
    void submitAndWait();
    // Returns the command buffer to the pool; does nothing when none is held.
    void free();
};
