#include "EdgeDetectDrawer.h"

#include "DrawerSkeleton.h"
#include "EmbeddedShaders.h"
#include "GpuInfo.h"
#include "MeshVertex.h"
#include "ShaderModule.h"
#include "SwapchainContext.h"

#include <array>
#include <stdexcept>

namespace {

// Clip-space corners; texture coordinate (0, 0) lands on the first row and
// column, so the copy is not mirrored. Both triangles are counter-clockwise
// in framebuffer space.
const std::array<MeshVertex, 4>& quadVertices()
{
    static const std::array<MeshVertex, 4> vertices = {{
        {{-1, -1, 0}, {0, 0, -1}, {1, 1, 1}, {0, 0}},
        {{-1, 1, 0}, {0, 0, -1}, {1, 1, 1}, {0, 1}},
        {{1, 1, 0}, {0, 0, -1}, {1, 1, 1}, {1, 1}},
        {{1, -1, 0}, {0, 0, -1}, {1, 1, 1}, {1, 0}},
    }};
    return vertices;
}

const std::array<uint32_t, 6>& quadIndices()
{
    static const std::array<uint32_t, 6> indices = {0, 1, 2, 2, 3, 0};
    return indices;
}

void sourceBarrier(vk::CommandBuffer cb, vk::Image image, bool toSampled)
{
    using S = vk::PipelineStageFlagBits;
    using A = vk::AccessFlagBits;
    const vk::ImageLayout attachment = vk::ImageLayout::eColorAttachmentOptimal;
    const vk::ImageLayout sampled = vk::ImageLayout::eShaderReadOnlyOptimal;
    const vk::ImageSubresourceRange range(vk::ImageAspectFlagBits::eColor, 0, 1, 0, 1);
    if (toSampled) {
        const vk::ImageMemoryBarrier barrier(A::eColorAttachmentWrite, A::eShaderRead, attachment, sampled,
                                             VK_QUEUE_FAMILY_IGNORED, VK_QUEUE_FAMILY_IGNORED, image, range);
        cb.pipelineBarrier(S::eColorAttachmentOutput, S::eFragmentShader, {}, {}, {}, barrier);
    } else {
        const vk::ImageMemoryBarrier barrier(A::eShaderRead, A::eColorAttachmentRead | A::eColorAttachmentWrite,
                                             sampled, attachment, VK_QUEUE_FAMILY_IGNORED,
                                             VK_QUEUE_FAMILY_IGNORED, image, range);
        cb.pipelineBarrier(S::eFragmentShader, S::eColorAttachmentOutput, {}, {}, {}, barrier);
    }
}

} // namespace

EdgeDetectDrawer::EdgeDetectDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget,
                                   uint32_t sourceAttachment, uint32_t framebufferIndex, uint32_t processType)
    : clearOnLoad(clearOnLoad), presentAfter(presentAfter), renderTarget(renderTarget),
      sourceAttachment(sourceAttachment), framebufferIndex(framebufferIndex), processType(processType)
{}

EdgeDetectDrawer::~EdgeDetectDrawer()
{
    destroy();
}

void EdgeDetectDrawer::setup(const GpuInfo* info, vk::Device dev, SwapchainContext* context)
{
    if (initialised) destroy();
    // The sketch pass keeps the mesh depth for the passes after it.
    drawer::setUpShape(*this, info, dev, context, processType == 0);
    initialised = true;
}

void EdgeDetectDrawer::init()
{
    createQuadBuffers();
    createDescriptors();
    createPipeline();
}

void EdgeDetectDrawer::rebuild()
{
    createQuadBuffers();
    createDescriptors();
    createPipeline();
    recordCommandBuffers();
}

void EdgeDetectDrawer::onResize()
{
    createDescriptors();
    createPipeline();
    recordCommandBuffers();
}

void EdgeDetectDrawer::setAttachments(uint32_t source, uint32_t framebuffer)
{
    sourceAttachment = source;
    framebufferIndex = framebuffer;
    createDescriptors();
    createPipeline();
    recordCommandBuffers();
}

void EdgeDetectDrawer::createQuadBuffers()
{
    const auto family = static_cast<uint32_t>(gpuInfo->graphicsFamily);
    drawer::uploadDeviceLocal(device, *gpuInfo, transferCommandPool, family, quadVertexBuffer,
                              vk::BufferUsageFlagBits::eVertexBuffer, quadVertices().data(),
                              sizeof(MeshVertex) * quadVertices().size());
    drawer::uploadDeviceLocal(device, *gpuInfo, transferCommandPool, family, quadIndexBuffer,
                              vk::BufferUsageFlagBits::eIndexBuffer, quadIndices().data(),
                              sizeof(uint32_t) * quadIndices().size());
    indexCount = static_cast<uint32_t>(quadIndices().size());
}

void EdgeDetectDrawer::createDescriptors()
{
    drawer::releaseDescriptors(*this);

    const vk::DescriptorSetLayoutBinding binding(1, vk::DescriptorType::eCombinedImageSampler, 1,
                                                 vk::ShaderStageFlagBits::eFragment);
    descriptorSetLayout = device.createDescriptorSetLayout(vk::DescriptorSetLayoutCreateInfo({}, binding));
    const vk::DescriptorPoolSize size(vk::DescriptorType::eCombinedImageSampler, 1);
    descriptorPool = device.createDescriptorPool(vk::DescriptorPoolCreateInfo({}, 1, size));
    descriptorSet = device.allocateDescriptorSets(vk::DescriptorSetAllocateInfo(descriptorPool, descriptorSetLayout))
                        .front();
    const Image& source = swapchainContext->colorAttachments[sourceAttachment];
    const vk::DescriptorImageInfo imageInfo(source.sampler, source.view, vk::ImageLayout::eShaderReadOnlyOptimal);
    device.updateDescriptorSets(
        vk::WriteDescriptorSet(descriptorSet, 1, 0, vk::DescriptorType::eCombinedImageSampler, imageInfo), {});
}

void EdgeDetectDrawer::createPipeline()
{
    releaseHandle(pipelineLayout, [&](vk::PipelineLayout l) { device.destroyPipelineLayout(l); });
    releaseHandle(pipeline, [&](vk::Pipeline p) { device.destroyPipeline(p); });
    const vk::PushConstantRange push(vk::ShaderStageFlagBits::eFragment, 0, sizeof(PushConstants));
    pipelineLayout = device.createPipelineLayout(vk::PipelineLayoutCreateInfo({}, descriptorSetLayout, push));
    if (!pipelineCache) pipelineCache = device.createPipelineCache(vk::PipelineCacheCreateInfo());

    ShaderModule vert, frag;
    vert.create(device, ScreenQuadVertShader.data(), shaderCodeSize(ScreenQuadVertShader),
                vk::ShaderStageFlagBits::eVertex);
    frag.create(device, SobelEdgeFragShader.data(), shaderCodeSize(SobelEdgeFragShader),
                vk::ShaderStageFlagBits::eFragment);
    // The filter is fixed for the pipeline's life: compile only its branch.
    const auto fixedType = static_cast<int32_t>(processType);
    const vk::SpecializationMapEntry typeEntry(0, 0, sizeof(int32_t));
    const vk::SpecializationInfo typeInfo(1, &typeEntry, sizeof(int32_t), &fixedType);
    drawer::PipelineDesc desc;
    desc.stages = {vert.stageInfo(), frag.stageInfo()};
    desc.stages[1].pSpecializationInfo = &typeInfo;
    drawer::meshVertexInput(desc);
    desc.cullMode = vk::CullModeFlagBits::eBack;
    desc.depthTest = false;
    pipeline = drawer::createGraphicsPipeline(device, pipelineCache, pipelineLayout, renderPass, desc);
}

void EdgeDetectDrawer::recordCommandBuffers()
{
    const uint32_t count = drawer::commandBufferCount(*swapchainContext, renderTarget);
    drawer::prepareCommandBuffers(device, graphicsCommandPool, commandBuffers, count);
    drawer::resizeSemaphores(device, imageSemaphores, renderTarget == 0 ? count : 0);

    const vk::Extent2D extent(swapchainContext->swapchain.width, swapchainContext->swapchain.height);
    pushConstants = {static_cast<float>(extent.width), static_cast<float>(extent.height), processType};
    std::vector<vk::ClearValue> clearValues;
    if (clearOnLoad) {
        clearValues.push_back(vk::ClearColorValue(std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}));
        if (processType == 0) clearValues.push_back(vk::ClearDepthStencilValue(1.0f, 0));
    }
    const vk::Image source = swapchainContext->colorAttachments[sourceAttachment].image;
    for (uint32_t i = 0; i < commandBuffers.size(); ++i) {
        const vk::CommandBuffer cb = commandBuffers[i];
        cb.begin(vk::CommandBufferBeginInfo(vk::CommandBufferUsageFlagBits::eSimultaneousUse));
        sourceBarrier(cb, source, true);
        drawer::beginPass(cb, renderPass, drawer::passFramebuffer(*swapchainContext, renderTarget, framebufferIndex, i),
                          extent, clearValues, false);
        cb.pushConstants(pipelineLayout, vk::ShaderStageFlagBits::eFragment, 0, sizeof(PushConstants),
                         &pushConstants);
        cb.bindDescriptorSets(vk::PipelineBindPoint::eGraphics, pipelineLayout, 0, descriptorSet, {});
        cb.bindVertexBuffers(0, quadVertexBuffer.buffer, vk::DeviceSize(0));
        cb.bindIndexBuffer(quadIndexBuffer.buffer, 0, vk::IndexType::eUint32);
        cb.bindPipeline(vk::PipelineBindPoint::eGraphics, pipeline);
        cb.drawIndexed(indexCount, 1, 0, 0, 0);
        drawer::endPass(cb, false);
        sourceBarrier(cb, source, false);
        cb.end();
    }
}

vk::Semaphore EdgeDetectDrawer::submit(vk::Queue queue, uint32_t imageIndex, uint32_t waitCount,
                                       const vk::Semaphore* waitSemaphores)
{
    if (commandBuffers.empty()) throw std::runtime_error("empty command buffer!");
    const uint32_t index = renderTarget == 1 ? 0 : imageIndex;
    const vk::Semaphore signal = renderTarget == 1 ? semaphore : imageSemaphores.at(index);
    drawer::submit(queue, commandBuffers.at(index), signal, waitCount, waitSemaphores);
    return signal;
}

void EdgeDetectDrawer::destroy()
{
    if (!device) {
        initialised = false;
        return;
    }
    quadIndexBuffer.destroy();
    quadVertexBuffer.destroy();
    drawer::resizeSemaphores(device, imageSemaphores, 0);
    releaseHandle(pipeline, [&](vk::Pipeline p) { device.destroyPipeline(p); });
    drawer::releaseShape(*this);
    initialised = false;
}
