#include "OneShotCommand.h"

void OneShotCommand::begin()
{
    const vk::CommandBufferAllocateInfo allocInfo(pool, vk::CommandBufferLevel::ePrimary, 1);
    commandBuffer = device.allocateCommandBuffers(allocInfo).front();
    commandBuffer.begin(vk::CommandBufferBeginInfo(vk::CommandBufferUsageFlagBits::eOneTimeSubmit));
}

void OneShotCommand::submitAndWait()
{
    commandBuffer.end();
    const vk::Fence fence = device.createFence({});
    try {
        const vk::Queue queue = device.getQueue(queueFamilyIndex, 0);
        queue.submit(vk::SubmitInfo({}, {}, commandBuffer), fence);
        const vk::Result result = device.waitForFences(fence, VK_TRUE, UINT64_MAX);
        vk::resultCheck(result, "vk::Device::waitForFences", {vk::Result::eSuccess, vk::Result::eTimeout});
    } catch (...) {
        device.destroyFence(fence);
        throw;
    }
    device.destroyFence(fence);
}

void OneShotCommand::free()
{
    if (commandBuffer) {
        device.freeCommandBuffers(pool, commandBuffer);
        commandBuffer = nullptr;
    }
}
