#include "LineDrawer.h"

#include "DrawerSkeleton.h"
#include "EmbeddedShaders.h"
#include "GpuInfo.h"
#include "ShaderModule.h"
#include "SwapchainContext.h"

#include <stdexcept>

namespace {
constexpr vk::DeviceSize UboSize = sizeof(glm::mat4);
}

LineDrawer::LineDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t framebufferIndex)
    : clearOnLoad(clearOnLoad), presentAfter(presentAfter), renderTarget(renderTarget),
      framebufferIndex(framebufferIndex), mvp(1.0f), groups(makeLineGroupMap())
{}

LineDrawer::~LineDrawer()
{
    destroy();
}

void LineDrawer::setup(const GpuInfo* info, vk::Device dev, SwapchainContext* context)
{
    if (initialised) destroy();
    drawer::setUpShape(*this, info, dev, context, true);
    initialised = true;
}

void LineDrawer::init()
{
    createBuffers();
    createDescriptors();
    createPipeline();
}

void LineDrawer::rebuild()
{
    createBuffers();
    // New geometry changes neither the uniform buffer nor the pipeline state:
    // keep them, and the shader code that the driver has compiled for them.
    if (!descriptorSet) createDescriptors();
    if (!pipeline) createPipeline();
    recordCommandBuffers();
}

void LineDrawer::onResize()
{
    recordCommandBuffers();
}

void LineDrawer::createBuffers()
{
    if (geometry.vertices.empty() || geometry.indices.empty()) {
        throw std::runtime_error("empty vertice / indices data!");
    }
    const auto family = static_cast<uint32_t>(gpuInfo->graphicsFamily);
    drawer::uploadDeviceLocal(device, *gpuInfo, transferCommandPool, family, vertexBuffer,
                              vk::BufferUsageFlagBits::eVertexBuffer, geometry.vertices.data(),
                              vk::DeviceSize(geometry.vertices.size()) * sizeof(LineVertex));
    drawer::uploadDeviceLocal(device, *gpuInfo, transferCommandPool, family, indexBuffer,
                              vk::BufferUsageFlagBits::eIndexBuffer, geometry.indices.data(),
                              vk::DeviceSize(geometry.indices.size()) * sizeof(uint32_t));
    drawer::writeUniformBuffer(device, *gpuInfo, uniformBuffer, &mvp, UboSize);
}

void LineDrawer::createDescriptors()
{
    drawer::releaseDescriptors(*this);

    const vk::DescriptorSetLayoutBinding binding(0, vk::DescriptorType::eUniformBuffer, 1,
                                                 vk::ShaderStageFlagBits::eVertex);
    descriptorSetLayout = device.createDescriptorSetLayout(vk::DescriptorSetLayoutCreateInfo({}, binding));
    const vk::DescriptorPoolSize size(vk::DescriptorType::eUniformBuffer, 1);
    descriptorPool = device.createDescriptorPool(vk::DescriptorPoolCreateInfo({}, 1, size));
    descriptorSet = device.allocateDescriptorSets(vk::DescriptorSetAllocateInfo(descriptorPool, descriptorSetLayout))
                        .front();
    const vk::DescriptorBufferInfo bufferInfo(uniformBuffer.buffer, 0, UboSize);
    device.updateDescriptorSets(
        vk::WriteDescriptorSet(descriptorSet, 0, 0, vk::DescriptorType::eUniformBuffer, {}, bufferInfo), {});
}

void LineDrawer::createPipeline()
{
    releaseHandle(pipelineLayout, [&](vk::PipelineLayout l) { device.destroyPipelineLayout(l); });
    releaseHandle(pipeline, [&](vk::Pipeline p) { device.destroyPipeline(p); });
    const vk::PushConstantRange push(vk::ShaderStageFlagBits::eFragment, 0, sizeof(uint32_t));
    pipelineLayout = device.createPipelineLayout(vk::PipelineLayoutCreateInfo({}, descriptorSetLayout, push));
    if (!pipelineCache) pipelineCache = device.createPipelineCache(vk::PipelineCacheCreateInfo());

    ShaderModule vert, frag;
    vert.create(device, LineVertShader.data(), shaderCodeSize(LineVertShader), vk::ShaderStageFlagBits::eVertex);
    frag.create(device, LineFragShader.data(), shaderCodeSize(LineFragShader), vk::ShaderStageFlagBits::eFragment);

    drawer::PipelineDesc desc;
    desc.stages = {vert.stageInfo(), frag.stageInfo()};
    desc.bindings = {vk::VertexInputBindingDescription(0, sizeof(LineVertex), vk::VertexInputRate::eVertex)};
    desc.attributes = {vk::VertexInputAttributeDescription(0, 0, vk::Format::eR32G32B32Sfloat, 0),
                       vk::VertexInputAttributeDescription(1, 0, vk::Format::eR32G32B32Sfloat, 12)};
    desc.topology = vk::PrimitiveTopology::eLineList;
    desc.polygonMode = vk::PolygonMode::eLine;
    desc.depthCompare = vk::CompareOp::eLessOrEqual;
    desc.dynamicStates = {vk::DynamicState::eViewport, vk::DynamicState::eScissor, vk::DynamicState::eLineWidth};
    pipeline = drawer::createGraphicsPipeline(device, pipelineCache, pipelineLayout, renderPass, desc);
}

void LineDrawer::recordCommandBuffers()
{
    drawer::prepareCommandBuffers(device, graphicsCommandPool, commandBuffers,
                                  drawer::commandBufferCount(*swapchainContext, renderTarget));
    std::vector<vk::ClearValue> clearValues;
    if (clearOnLoad) {
        clearValues = {vk::ClearColorValue(std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}),
                       vk::ClearDepthStencilValue(1.0f, 0)};
    }
    const vk::Extent2D extent(swapchainContext->swapchain.width, swapchainContext->swapchain.height);
    for (uint32_t i = 0; i < commandBuffers.size(); ++i) {
        const vk::CommandBuffer cb = commandBuffers[i];
        drawer::beginPass(cb, renderPass, drawer::passFramebuffer(*swapchainContext, renderTarget, framebufferIndex, i),
                          extent, clearValues);
        cb.bindDescriptorSets(vk::PipelineBindPoint::eGraphics, pipelineLayout, 0, descriptorSet, {});
        cb.bindVertexBuffers(0, vertexBuffer.buffer, vk::DeviceSize(0));
        cb.bindIndexBuffer(indexBuffer.buffer, 0, vk::IndexType::eUint32);
        cb.bindPipeline(vk::PipelineBindPoint::eGraphics, pipeline);
        for (const auto& [name, group] : groups) {
            if (!group.visible || group.indexCount == 0) continue;
            cb.pushConstants(pipelineLayout, vk::ShaderStageFlagBits::eFragment, 0, sizeof(uint32_t),
                             &group.alwaysFront);
            cb.setLineWidth(group.lineWidth);
            cb.drawIndexed(group.indexCount, 1, group.firstIndex, 0, 0);
        }
        drawer::endPass(cb);
    }
}

vk::Semaphore LineDrawer::submit(vk::Queue queue, uint32_t imageIndex, uint32_t waitCount,
                                 const vk::Semaphore* waitSemaphores)
{
    if (commandBuffers.empty()) throw std::runtime_error("empty command buffer!");
    drawer::submit(queue, commandBuffers[renderTarget == 1 ? 0 : imageIndex], semaphore, waitCount, waitSemaphores);
    return semaphore;
}

void LineDrawer::updateUniformBuffer(const glm::mat4& matrix)
{
    mvp = matrix;
    uniformBuffer.copyFrom(&mvp, UboSize);
}

void LineDrawer::clear()
{
    clearLines(geometry, groups);
}

void LineDrawer::addDrawLines(const std::vector<MeshVertex>& records, const std::vector<uint32_t>& indices,
                              const glm::vec3& color, bool append, std::string name, float lineWidth,
                              bool alwaysFront)
{
    ::addDrawLines(geometry, groups, records, indices, color, append, std::move(name), lineWidth, alwaysFront);
}

void LineDrawer::addDrawMeshEdges(const std::vector<MeshVertex>& records, const glm::vec3& color, bool append,
                                  std::string name, float lineWidth, bool alwaysFront)
{
    ::addDrawMeshEdges(geometry, groups, records, color, append, std::move(name), lineWidth, alwaysFront);
}

void LineDrawer::addDrawAabb(const glm::vec3& boxMin, const glm::vec3& boxMax, const glm::vec3& color,
                             bool append, bool negateY, std::string name)
{
    ::addDrawAabb(geometry, groups, boxMin, boxMax, color, append, negateY, std::move(name));
}

void LineDrawer::addDrawAxis(const glm::vec3& origin, const glm::vec3& halfLengths, bool append, std::string name)
{
    ::addDrawAxis(geometry, groups, origin, halfLengths, append, std::move(name));
}

void LineDrawer::addDrawNormals(const std::vector<MeshVertex>& records, float length, std::string name)
{
    ::addDrawNormals(geometry, groups, records, length, std::move(name));
}

void LineDrawer::destroy()
{
    clearLines(geometry, groups);
    if (!device) {
        initialised = false;
        return;
    }
    uniformBuffer.destroy();
    indexBuffer.destroy();
    vertexBuffer.destroy();
    releaseHandle(pipeline, [&](vk::Pipeline p) { device.destroyPipeline(p); });
    drawer::releaseShape(*this);
    initialised = false;
}
