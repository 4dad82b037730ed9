#include "MeshDrawer.h"

#include "Config.h"
#include "DrawerSkeleton.h"
#include "EmbeddedShaders.h"
#include "GpuInfo.h"
#include "MatcapTexturePack.h"
#include "MeshVertex.h"
#include "ShaderModule.h"
#include "SwapchainContext.h"

#include <algorithm>
#include <stdexcept>

namespace {
constexpr vk::DeviceSize UboSize = sizeof(TransformUbo);
}

int pipelineForShadingMode(uint32_t shadingMode)
{
    switch (shadingMode) {
    case ShadingMode::Wireframe: return 4;
    case ShadingMode::Matcap: return 0;
    case ShadingMode::MatcapEdge: return 1;
    case ShadingMode::Phong: return 2;
    case ShadingMode::PhongEdge: return 3;
    default: return -1;
    }
}

MeshDrawer::MeshDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t framebufferIndex)
    : texturePackPath(PathTexturePack.string()), clearOnLoad(clearOnLoad), presentAfter(presentAfter),
      renderTarget(renderTarget), framebufferIndex(framebufferIndex)
{}

MeshDrawer::~MeshDrawer()
{
    destroy();
}

void MeshDrawer::setup(const GpuInfo* info, vk::Device dev, SwapchainContext* context)
{
    if (initialised) destroy();
    drawer::setUpShape(*this, info, dev, context, true);
    initialised = true;
}

void MeshDrawer::init(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices)
{
    loadMatcapTexture(texturePackPath, matcapImage, matcapLayerCount);
    createBuffers(vertices, indices);
    createDescriptors();
    createPipelines();
}

void MeshDrawer::rebuild(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices)
{
    createBuffers(vertices, indices);
    // New mesh data change neither the uniform buffer nor the texture, so the
    // descriptors and pipelines stay, and with them the shader code that the
    // driver has already compiled for them.
    if (!descriptorSet) createDescriptors();
    if (std::find(pipelines.begin(), pipelines.end(), vk::Pipeline()) != pipelines.end()) createPipelines();
    recordCommandBuffers();
}

void MeshDrawer::onResize()
{
    recordCommandBuffers();
}

void MeshDrawer::loadMatcapTexture(std::string path, Image& image, uint32_t& layerCount)
{
    // A pack that is missing, empty or in another layout throws before any
    // Vulkan object is made.
    MatcapPack pack = readMatcapPack(path);
    Buffer staging;
    staging.create(device, *gpuInfo, vk::BufferUsageFlagBits::eTransferSrc,
                   vk::MemoryPropertyFlagBits::eHostVisible | vk::MemoryPropertyFlagBits::eHostCoherent,
                   pack.texels.size());
    staging.copyFrom(pack.texels.data(), pack.texels.size());

    image.create(device, *gpuInfo, vk::ImageUsageFlagBits::eTransferDst | vk::ImageUsageFlagBits::eSampled,
                 vk::MemoryPropertyFlagBits::eDeviceLocal, vk::Extent3D(pack.width, pack.height, 1),
                 vk::Format::eR8G8B8A8Unorm, vk::ImageTiling::eOptimal, pack.layerCount);
    std::vector<vk::DeviceSize> offsets(pack.layerCount);
    for (uint32_t l = 1; l < pack.layerCount; ++l) offsets[l] = offsets[l - 1] + pack.layerSize();
    image.copyFromBuffer(staging.buffer, graphicsCommandPool, static_cast<uint32_t>(gpuInfo->graphicsFamily),
                         offsets);
    image.createView(vk::ImageAspectFlagBits::eColor, pack.layerCount, true);
    image.createSampler(vk::Filter::eLinear, vk::Filter::eLinear);
    layerCount = pack.layerCount;
}

void MeshDrawer::createBuffers(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices)
{
    if (vertices.empty()) throw std::runtime_error("empty vertice data!");
    const auto family = static_cast<uint32_t>(gpuInfo->graphicsFamily);
    drawer::uploadDeviceLocal(device, *gpuInfo, transferCommandPool, family, vertexBuffer,
                              vk::BufferUsageFlagBits::eVertexBuffer, vertices.data(),
                              vk::DeviceSize(vertices.size()) * sizeof(MeshVertex));
    if (!indices.empty()) {
        drawer::uploadDeviceLocal(device, *gpuInfo, transferCommandPool, family, indexBuffer,
                                  vk::BufferUsageFlagBits::eIndexBuffer, indices.data(),
                                  vk::DeviceSize(indices.size()) * sizeof(uint32_t));
    }
    indexCount = static_cast<uint32_t>(indices.size());
    vertexCount = static_cast<uint32_t>(vertices.size());
    drawer::writeUniformBuffer(device, *gpuInfo, uniformBuffer, &transformUbo, UboSize);
}

void MeshDrawer::createDescriptors()
{
    drawer::releaseDescriptors(*this);

    using Stage = vk::ShaderStageFlagBits;
    const std::array<vk::DescriptorSetLayoutBinding, 2> bindings = {
        vk::DescriptorSetLayoutBinding(0, vk::DescriptorType::eUniformBuffer, 1,
                                       Stage::eVertex | Stage::eGeometry | Stage::eFragment),
        vk::DescriptorSetLayoutBinding(1, vk::DescriptorType::eCombinedImageSampler, 1, Stage::eFragment)};
    descriptorSetLayout = device.createDescriptorSetLayout(vk::DescriptorSetLayoutCreateInfo({}, bindings));

    const std::array<vk::DescriptorPoolSize, 2> sizes = {
        vk::DescriptorPoolSize(vk::DescriptorType::eUniformBuffer, 1),
        vk::DescriptorPoolSize(vk::DescriptorType::eCombinedImageSampler, 1)};
    descriptorPool = device.createDescriptorPool(vk::DescriptorPoolCreateInfo({}, 1, sizes));
    descriptorSet = device.allocateDescriptorSets(vk::DescriptorSetAllocateInfo(descriptorPool, descriptorSetLayout))
                        .front();

    const vk::DescriptorBufferInfo bufferInfo(uniformBuffer.buffer, 0, UboSize);
    const vk::DescriptorImageInfo imageInfo(matcapImage.sampler, matcapImage.view,
                                            vk::ImageLayout::eShaderReadOnlyOptimal);
    const std::array<vk::WriteDescriptorSet, 2> writes = {
        vk::WriteDescriptorSet(descriptorSet, 0, 0, vk::DescriptorType::eUniformBuffer, {}, bufferInfo),
        vk::WriteDescriptorSet(descriptorSet, 1, 0, vk::DescriptorType::eCombinedImageSampler, imageInfo)};
    device.updateDescriptorSets(writes, {});
}

void MeshDrawer::createPipelines()
{
    for (vk::Pipeline& p : pipelines) releaseHandle(p, [&](vk::Pipeline h) { device.destroyPipeline(h); });
    releaseHandle(pipelineLayout, [&](vk::PipelineLayout l) { device.destroyPipelineLayout(l); });
    pipelineLayout = device.createPipelineLayout(vk::PipelineLayoutCreateInfo({}, descriptorSetLayout));
    if (!pipelineCache) pipelineCache = device.createPipelineCache(vk::PipelineCacheCreateInfo());

    using Stage = vk::ShaderStageFlagBits;
    auto module = [&](const std::vector<uint32_t>& code, Stage stage) {
        ShaderModule m;
        m.create(device, code.data(), shaderCodeSize(code), stage);
        return m;
    };
    // The edge-overlay pipelines switch the fragment stages' RENDER_EDGE on.
    const int32_t renderEdge = 1;
    const vk::SpecializationMapEntry edgeEntry(0, 0, sizeof(int32_t));
    const vk::SpecializationInfo edgeOn(1, &edgeEntry, sizeof(int32_t), &renderEdge);

    drawer::PipelineDesc desc;
    drawer::meshVertexInput(desc);
    auto build = [&](std::initializer_list<const ShaderModule*> modules, bool edges) {
        desc.stages.clear();
        for (const ShaderModule* m : modules) {
            vk::PipelineShaderStageCreateInfo info = m->stageInfo();
            if (edges && m->stage == Stage::eFragment) info.pSpecializationInfo = &edgeOn;
            desc.stages.push_back(info);
        }
        return drawer::createGraphicsPipeline(device, pipelineCache, pipelineLayout, renderPass, desc);
    };

    const ShaderModule matcapVert = module(MatcapVertShader, Stage::eVertex);
    const ShaderModule matcapFrag = module(MatcapFragShader, Stage::eFragment);
    desc.flags = vk::PipelineCreateFlagBits::eAllowDerivatives;
    pipelines[0] = build({&matcapVert, &matcapFrag}, false);

    desc.flags = vk::PipelineCreateFlagBits::eDerivative;
    desc.basePipeline = pipelines[0];
    const ShaderModule phongVert = module(PhongVertShader, Stage::eVertex);
    const ShaderModule phongFrag = module(PhongFragShader, Stage::eFragment);
    pipelines[2] = build({&phongVert, &phongFrag}, false);
    {
        const ShaderModule geom = module(MatcapWireframeGeomShader, Stage::eGeometry);
        pipelines[1] = build({&matcapVert, &geom, &matcapFrag}, true);
    }
    {
        const ShaderModule geom = module(PhongWireframeGeomShader, Stage::eGeometry);
        pipelines[3] = build({&phongVert, &geom, &phongFrag}, true);
    }
    const ShaderModule colorVert = module(ColorVertShader, Stage::eVertex);
    const ShaderModule colorFrag = module(ColorFragShader, Stage::eFragment);
    desc.polygonMode = vk::PolygonMode::eLine;
    pipelines[4] = build({&colorVert, &colorFrag}, false);
}

void MeshDrawer::recordCommandBuffers()
{
    drawer::prepareCommandBuffers(device, graphicsCommandPool, commandBuffers,
                                  drawer::commandBufferCount(*swapchainContext, renderTarget));
    std::vector<vk::ClearValue> clearValues;
    if (clearOnLoad) {
        clearValues = {vk::ClearColorValue(std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}),
                       vk::ClearDepthStencilValue(1.0f, 0)};
    }
    const vk::Extent2D extent(swapchainContext->swapchain.width, swapchainContext->swapchain.height);
    const int pipeline = pipelineForShadingMode(camera.shadingMode);
    for (uint32_t i = 0; i < commandBuffers.size(); ++i) {
        const vk::CommandBuffer cb = commandBuffers[i];
        drawer::beginPass(cb, renderPass, drawer::passFramebuffer(*swapchainContext, renderTarget, framebufferIndex, i),
                          extent, clearValues);
        cb.bindDescriptorSets(vk::PipelineBindPoint::eGraphics, pipelineLayout, 0, descriptorSet, {});
        cb.bindVertexBuffers(0, vertexBuffer.buffer, vk::DeviceSize(0));
        if (pipeline >= 0) {
            cb.bindPipeline(vk::PipelineBindPoint::eGraphics, pipelines[pipeline]);
            if (indexCount > 0) {
                cb.bindIndexBuffer(indexBuffer.buffer, 0, vk::IndexType::eUint32);
                cb.drawIndexed(indexCount, 1, 0, 0, 0);
            } else {
                cb.draw(vertexCount, 1, 0, 0);
            }
        }
        drawer::endPass(cb);
    }
}

vk::Semaphore MeshDrawer::submit(vk::Queue queue, uint32_t imageIndex, uint32_t waitCount,
                                 const vk::Semaphore* waitSemaphores)
{
    if (commandBuffers.empty()) throw std::runtime_error("empty command buffer!");
    drawer::submit(queue, commandBuffers[renderTarget == 1 ? 0 : imageIndex], semaphore, waitCount, waitSemaphores);
    return semaphore;
}

void MeshDrawer::updateCamera(glm::vec2 cursor)
{
    updateCameraState(camera, mouseControl, transformUbo, cursor,
                      static_cast<float>(swapchainContext->swapchain.width),
                      static_cast<float>(swapchainContext->swapchain.height));
    uniformBuffer.copyFrom(&transformUbo, UboSize);
}

void MeshDrawer::onMouseButton(int button, int action, glm::vec2 cursor)
{
    cameraMouseButton(camera, mouseControl, button, action, cursor);
}

void MeshDrawer::destroy()
{
    if (!device) {
        initialised = false;
        return;
    }
    vertexBuffer.destroy();
    indexBuffer.destroy();
    uniformBuffer.destroy();
    matcapImage.destroy();
    for (vk::Pipeline& p : pipelines) releaseHandle(p, [&](vk::Pipeline h) { device.destroyPipeline(h); });
    drawer::releaseShape(*this);
    indexCount = 0;
    vertexCount = 0;
    initialised = false;
}
