#pragma once
// The pieces every drawer repeats: its semaphore and command pools, the
// allocation and recording frame of its pre-recorded command buffers, its
// submission, device-local uploads through a staging buffer and graphics
// pipeline creation. The drawers keep their own members; these functions
// only work on what they are handed. Main thread only.

#include "VulkanCommon.h"

#include <vulkan/vulkan.hpp>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

struct Buffer;
struct GpuInfo;
class SwapchainContext;

namespace drawer {

vk::Semaphore createSemaphore(vk::Device device);

// (Re)creates the graphics pool (reset-command-buffer) and the transfer pool
// (transient). Both live on the graphics family: uploads copied there need
// no queue-family ownership transfer before the passes read them.
void createCommandPools(vk::Device device, const GpuInfo& gpuInfo, vk::CommandPool& graphicsPool,
                        vk::CommandPool& transferPool);

// One command buffer for an offscreen pass, else one per swapchain image.
uint32_t commandBufferCount(const SwapchainContext& context, uint32_t renderTarget);

// Keeps buffers of the right count (reset), else frees them and allocates
// `count` new primary buffers from pool.
void prepareCommandBuffers(vk::Device device, vk::CommandPool pool, std::vector<vk::CommandBuffer>& buffers,
                           uint32_t count);

// Recordings of command buffers made by all drawers so far. Every change to
// what a pass draws, apart from its per-frame data, goes through one.
uint64_t recordingCount();

// Tells whether the offscreen passes of a frame would draw again the picture
// that the offscreen images already hold: no drawer has been recorded since
// the last drawn frame and the per-frame data are byte for byte the same.
class OffscreenReuse {
public:
    // True when the passes may be left out; otherwise remembers these
    // inputs as those of a frame about to be drawn.
    bool unchanged(std::initializer_list<std::span<const std::byte>> frameData);
    // The offscreen images no longer hold the last drawn picture.
    void invalidate() { valid = false; }
    // A frame has been drawn into the offscreen images since they were made.
    bool holdsPicture() const { return valid; }

private:
    bool valid = false;
    uint64_t recordings = 0;
    std::vector<std::byte> data;
};

template <typename T>
std::span<const std::byte> bytesOf(const T& value)
{
    return std::as_bytes(std::span<const T, 1>(&value, 1));
}

// Keeps one semaphore per element of `count`, creating or destroying the
// difference.
void resizeSemaphores(vk::Device device, std::vector<vk::Semaphore>& semaphores, uint32_t count);

vk::Framebuffer passFramebuffer(const SwapchainContext& context, uint32_t renderTarget,
                                uint32_t framebufferIndex, uint32_t bufferIndex);

// Begins the command buffer for simultaneous use, begins the render pass
// over the whole extent and sets viewport and scissor to it.
void beginPass(vk::CommandBuffer commandBuffer, vk::RenderPass renderPass, vk::Framebuffer framebuffer,
               vk::Extent2D extent, const std::vector<vk::ClearValue>& clearValues, bool beginBuffer = true);
void endPass(vk::CommandBuffer commandBuffer, bool endBuffer = true);

// Submits one command buffer that waits for the given semaphores at the
// colour-attachment-output stage and signals `signal`; no fence.
void submit(vk::Queue queue, vk::CommandBuffer commandBuffer, vk::Semaphore signal, uint32_t waitCount,
            const vk::Semaphore* waitSemaphores);

// Copies size bytes of staging into destination with a one-shot command
// buffer from pool on queue 0 of queueFamily, and waits for it.
void copyBuffer(vk::Device device, const Buffer& staging, vk::Buffer destination, vk::CommandPool pool,
                uint32_t queueFamily);

// True on a unified-memory device: every device-local memory type is also
// host-visible and coherent.
bool deviceMemoryIsHostVisible(const vk::PhysicalDeviceMemoryProperties& properties);

// Fills a device-local `target` of exactly size bytes: on a unified-memory
// device by writing it directly, otherwise through a staging buffer that is
// released on every path.
void uploadDeviceLocal(vk::Device device, const GpuInfo& gpuInfo, vk::CommandPool pool, uint32_t queueFamily,
                       Buffer& target, vk::BufferUsageFlags usage, const void* data, vk::DeviceSize size);

// Writes a per-frame uniform block into its host-visible buffer, making the
// buffer the first time; new geometry keeps it and the descriptors using it.
void writeUniformBuffer(vk::Device device, const GpuInfo& gpuInfo, Buffer& buffer, const void* data,
                        vk::DeviceSize size);

// The pipeline state that differs between the drawers; the rest is shared:
// one dynamic viewport and scissor, one sample, one colour attachment with
// all channels written and blending off unless a blend state is given,
// subpass 0.
struct PipelineDesc {
    std::vector<vk::PipelineShaderStageCreateInfo> stages;
    std::vector<vk::VertexInputBindingDescription> bindings;
    std::vector<vk::VertexInputAttributeDescription> attributes;
    vk::PrimitiveTopology topology = vk::PrimitiveTopology::eTriangleList;
    vk::PolygonMode polygonMode = vk::PolygonMode::eFill;
    vk::CullModeFlags cullMode = vk::CullModeFlagBits::eNone;
    bool depthTest = true;
    vk::CompareOp depthCompare = vk::CompareOp::eLess;
    std::vector<vk::DynamicState> dynamicStates = {vk::DynamicState::eViewport, vk::DynamicState::eScissor};
    vk::PipelineCreateFlags flags;
    vk::Pipeline basePipeline;
    vk::PipelineColorBlendAttachmentState blendAttachment{
        VK_FALSE, vk::BlendFactor::eSrcAlpha, vk::BlendFactor::eOneMinusSrcAlpha, vk::BlendOp::eAdd,
        vk::BlendFactor::eOne, vk::BlendFactor::eOne, vk::BlendOp::eMax,
        vk::ColorComponentFlagBits::eR | vk::ColorComponentFlagBits::eG | vk::ColorComponentFlagBits::eB |
            vk::ColorComponentFlagBits::eA};
};

vk::Pipeline createGraphicsPipeline(vk::Device device, vk::PipelineCache cache, vk::PipelineLayout layout,
                                    vk::RenderPass renderPass, const PipelineDesc& desc);

// The MeshVertex layout as one per-vertex binding 0 of stride 44.
void meshVertexInput(PipelineDesc& desc);

// The set-up every drawer shares: its context, semaphore, command pools and
// render pass from the context's helper.
template <typename Drawer, typename Context>
void setUpShape(Drawer& d, const GpuInfo* info, vk::Device device, Context* context, bool clearDepth)
{
    d.gpuInfo = info;
    d.device = device;
    d.swapchainContext = context;
    d.semaphore = createSemaphore(device);
    createCommandPools(device, *info, d.graphicsCommandPool, d.transferCommandPool);
    releaseHandle(d.renderPass, [&](vk::RenderPass p) { device.destroyRenderPass(p); });
    d.renderPass = context->createRenderPass(d.clearOnLoad, d.presentAfter, clearDepth);
}

// Releases a drawer's descriptor pool (and with it the set) and layout, as
// before they are made anew.
template <typename Drawer>
void releaseDescriptors(Drawer& d)
{
    const vk::Device device = d.device;
    releaseHandle(d.descriptorPool, [&](vk::DescriptorPool p) { device.destroyDescriptorPool(p); });
    d.descriptorSet = nullptr;
    releaseHandle(d.descriptorSetLayout, [&](vk::DescriptorSetLayout l) { device.destroyDescriptorSetLayout(l); });
}

// Releases what setUpShape made and the descriptor and pipeline objects every
// drawer holds; each handle only when set, so it may run twice.
template <typename Drawer>
void releaseShape(Drawer& d)
{
    const vk::Device device = d.device;
    releaseHandle(d.semaphore, [&](vk::Semaphore s) { device.destroySemaphore(s); });
    if (!d.commandBuffers.empty()) {
        device.freeCommandBuffers(d.graphicsCommandPool, d.commandBuffers);
        d.commandBuffers.clear();
    }
    releaseHandle(d.transferCommandPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    releaseHandle(d.graphicsCommandPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    releaseHandle(d.pipelineCache, [&](vk::PipelineCache c) { device.destroyPipelineCache(c); });
    releaseHandle(d.pipelineLayout, [&](vk::PipelineLayout l) { device.destroyPipelineLayout(l); });
    releaseDescriptors(d);
    releaseHandle(d.renderPass, [&](vk::RenderPass p) { device.destroyRenderPass(p); });
}

} // namespace drawer
