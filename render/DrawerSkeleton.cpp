#include "DrawerSkeleton.h"

#include "Buffer.h"
#include "GpuInfo.h"
#include "OneShotCommand.h"
#include "SwapchainContext.h"

#include <algorithm>

namespace drawer {

namespace {
// Main thread only, like the drawers.
uint64_t recordingTotal = 0;
} // namespace

uint64_t recordingCount()
{
    return recordingTotal;
}

bool OffscreenReuse::unchanged(std::initializer_list<std::span<const std::byte>> frameData)
{
    size_t size = 0;
    for (const auto& part : frameData) size += part.size();
    bool same = valid && recordings == recordingCount() && size == data.size();
    size_t offset = 0;
    for (const auto& part : frameData) {
        if (same) same = std::equal(part.begin(), part.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
        offset += part.size();
    }
    if (same) return true;
    // Same size every frame: no allocation after the first.
    data.resize(size);
    offset = 0;
    for (const auto& part : frameData) {
        std::copy(part.begin(), part.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
        offset += part.size();
    }
    recordings = recordingCount();
    valid = true;
    return false;
}

vk::Semaphore createSemaphore(vk::Device device)
{
    return device.createSemaphore(vk::SemaphoreCreateInfo());
}

void createCommandPools(vk::Device device, const GpuInfo& gpuInfo, vk::CommandPool& graphicsPool,
                        vk::CommandPool& transferPool)
{
    releaseHandle(transferPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    releaseHandle(graphicsPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    const auto family = static_cast<uint32_t>(gpuInfo.graphicsFamily);
    graphicsPool = device.createCommandPool(
        vk::CommandPoolCreateInfo(vk::CommandPoolCreateFlagBits::eResetCommandBuffer, family));
    transferPool =
        device.createCommandPool(vk::CommandPoolCreateInfo(vk::CommandPoolCreateFlagBits::eTransient, family));
}

uint32_t commandBufferCount(const SwapchainContext& context, uint32_t renderTarget)
{
    return renderTarget == 1 ? 1 : context.swapchain.imageCount;
}

void prepareCommandBuffers(vk::Device device, vk::CommandPool pool, std::vector<vk::CommandBuffer>& buffers,
                           uint32_t count)
{
    ++recordingTotal;
    if (buffers.size() == count) {
        for (vk::CommandBuffer b : buffers) b.reset();
        return;
    }
    if (!buffers.empty()) {
        device.freeCommandBuffers(pool, buffers);
        buffers.clear();
    }
    buffers = device.allocateCommandBuffers(
        vk::CommandBufferAllocateInfo(pool, vk::CommandBufferLevel::ePrimary, count));
}

void resizeSemaphores(vk::Device device, std::vector<vk::Semaphore>& semaphores, uint32_t count)
{
    while (semaphores.size() > count) {
        device.destroySemaphore(semaphores.back());
        semaphores.pop_back();
    }
    while (semaphores.size() < count) semaphores.push_back(createSemaphore(device));
}

vk::Framebuffer passFramebuffer(const SwapchainContext& context, uint32_t renderTarget,
                                uint32_t framebufferIndex, uint32_t bufferIndex)
{
    return renderTarget != 0 ? context.offscreenFramebuffers.at(framebufferIndex)
                             : context.swapchainFramebuffers.at(bufferIndex);
}

void beginPass(vk::CommandBuffer commandBuffer, vk::RenderPass renderPass, vk::Framebuffer framebuffer,
               vk::Extent2D extent, const std::vector<vk::ClearValue>& clearValues, bool beginBuffer)
{
    if (beginBuffer) {
        commandBuffer.begin(vk::CommandBufferBeginInfo(vk::CommandBufferUsageFlagBits::eSimultaneousUse));
    }
    const vk::Rect2D area({0, 0}, extent);
    commandBuffer.beginRenderPass(vk::RenderPassBeginInfo(renderPass, framebuffer, area, clearValues),
                                  vk::SubpassContents::eInline);
    commandBuffer.setViewport(
        0, vk::Viewport(0.0f, 0.0f, static_cast<float>(extent.width), static_cast<float>(extent.height), 0.0f, 1.0f));
    commandBuffer.setScissor(0, area);
}

void endPass(vk::CommandBuffer commandBuffer, bool endBuffer)
{
    commandBuffer.endRenderPass();
    if (endBuffer) commandBuffer.end();
}

void submit(vk::Queue queue, vk::CommandBuffer commandBuffer, vk::Semaphore signal, uint32_t waitCount,
            const vk::Semaphore* waitSemaphores)
{
    // At most a handful of passes wait on each other; no allocation per frame.
    constexpr uint32_t maxWaits = 8;
    vk::PipelineStageFlags stages[maxWaits];
    if (waitCount > maxWaits) waitCount = maxWaits;
    for (uint32_t i = 0; i < waitCount; ++i) stages[i] = vk::PipelineStageFlagBits::eColorAttachmentOutput;
    const vk::SubmitInfo info(waitCount, waitSemaphores, stages, 1, &commandBuffer, signal ? 1 : 0, &signal);
    queue.submit(info);
}

void copyBuffer(vk::Device device, const Buffer& staging, vk::Buffer destination, vk::CommandPool pool,
                uint32_t queueFamily)
{
    OneShotCommand command{device, pool, queueFamily, nullptr};
    try {
        command.begin();
        command.commandBuffer.copyBuffer(staging.buffer, destination, vk::BufferCopy(0, 0, staging.requestedSize));
        command.submitAndWait();
    } catch (...) {
        command.free();
        throw;
    }
    command.free();
}

bool deviceMemoryIsHostVisible(const vk::PhysicalDeviceMemoryProperties& properties)
{
    using Flag = vk::MemoryPropertyFlagBits;
    const vk::MemoryPropertyFlags mapped = Flag::eHostVisible | Flag::eHostCoherent;
    bool any = false;
    for (uint32_t i = 0; i < properties.memoryTypeCount; ++i) {
        const vk::MemoryPropertyFlags flags = properties.memoryTypes[i].propertyFlags;
        if (!(flags & Flag::eDeviceLocal)) continue;
        if ((flags & mapped) != mapped) return false;
        any = true;
    }
    return any;
}

void writeUniformBuffer(vk::Device device, const GpuInfo& gpuInfo, Buffer& buffer, const void* data,
                        vk::DeviceSize size)
{
    if (!buffer.buffer) {
        buffer.create(device, gpuInfo, vk::BufferUsageFlagBits::eUniformBuffer,
                      vk::MemoryPropertyFlagBits::eHostVisible | vk::MemoryPropertyFlagBits::eHostCoherent, size);
    }
    buffer.copyFrom(data, size);
}

void uploadDeviceLocal(vk::Device device, const GpuInfo& gpuInfo, vk::CommandPool pool, uint32_t queueFamily,
                       Buffer& target, vk::BufferUsageFlags usage, const void* data, vk::DeviceSize size)
{
    if (deviceMemoryIsHostVisible(gpuInfo.memoryProperties)) {
        // Unified memory: written in place, without a staging copy and a
        // transfer on the queue. The next submission sees the host writes.
        using Flag = vk::MemoryPropertyFlagBits;
        target.create(device, gpuInfo, usage, Flag::eDeviceLocal | Flag::eHostVisible | Flag::eHostCoherent, size);
        target.copyFrom(data, size);
        return;
    }
    Buffer staging;
    staging.create(device, gpuInfo, vk::BufferUsageFlagBits::eTransferSrc,
                   vk::MemoryPropertyFlagBits::eHostVisible | vk::MemoryPropertyFlagBits::eHostCoherent, size);
    staging.copyFrom(data, size);
    target.create(device, gpuInfo, usage | vk::BufferUsageFlagBits::eTransferDst,
                  vk::MemoryPropertyFlagBits::eDeviceLocal, size);
    copyBuffer(device, staging, target.buffer, pool, queueFamily);
}

vk::Pipeline createGraphicsPipeline(vk::Device device, vk::PipelineCache cache, vk::PipelineLayout layout,
                                    vk::RenderPass renderPass, const PipelineDesc& desc)
{
    const vk::PipelineVertexInputStateCreateInfo vertexInput({}, desc.bindings, desc.attributes);
    const vk::PipelineInputAssemblyStateCreateInfo inputAssembly({}, desc.topology, VK_FALSE);
    const vk::PipelineViewportStateCreateInfo viewport({}, 1, nullptr, 1, nullptr);
    const vk::PipelineRasterizationStateCreateInfo rasterization({}, VK_FALSE, VK_FALSE, desc.polygonMode,
                                                                 desc.cullMode, vk::FrontFace::eCounterClockwise,
                                                                 VK_FALSE, 0.0f, 0.0f, 0.0f, 1.0f);
    const vk::PipelineMultisampleStateCreateInfo multisample({}, vk::SampleCountFlagBits::e1, VK_FALSE, 1.0f);
    const vk::PipelineDepthStencilStateCreateInfo depthStencil({}, desc.depthTest, desc.depthTest,
                                                               desc.depthCompare, VK_FALSE, VK_FALSE);
    const vk::PipelineColorBlendStateCreateInfo blend({}, VK_FALSE, vk::LogicOp::eCopy, desc.blendAttachment,
                                                      {0.0f, 0.0f, 0.0f, 0.0f});
    const vk::PipelineDynamicStateCreateInfo dynamic({}, desc.dynamicStates);
    const vk::GraphicsPipelineCreateInfo info(desc.flags, desc.stages, &vertexInput, &inputAssembly, nullptr,
                                              &viewport, &rasterization, &multisample, &depthStencil, &blend,
                                              &dynamic, layout, renderPass, 0, desc.basePipeline, -1);
    return device.createGraphicsPipeline(cache, info).value;
}

void meshVertexInput(PipelineDesc& desc)
{
    desc.bindings = {vk::VertexInputBindingDescription(0, 44, vk::VertexInputRate::eVertex)};
    desc.attributes = {vk::VertexInputAttributeDescription(0, 0, vk::Format::eR32G32B32Sfloat, 0),
                       vk::VertexInputAttributeDescription(1, 0, vk::Format::eR32G32B32Sfloat, 12),
                       vk::VertexInputAttributeDescription(2, 0, vk::Format::eR32G32B32Sfloat, 24),
                       vk::VertexInputAttributeDescription(3, 0, vk::Format::eR32G32Sfloat, 36)};
}

} // namespace drawer
