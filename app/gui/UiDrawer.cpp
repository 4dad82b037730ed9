// The GUI back end: context, font texture, pipeline, the per-frame buffers
// and command buffer, and the copy of the scene that lets a frame redraw
// the GUI without drawing the scene again.

#include "UiDrawer.h"

#include "Config.h"
#include "DrawerSkeleton.h"
#include "EmbeddedShaders.h"
#include "GpuInfo.h"
#include "ShaderModule.h"
#include "SwapchainContext.h"
#include "UiRules.h"
#include "VulkanCommon.h"

#include <imgui.h>
#include <spdlog/spdlog.h>

#include <array>

UiDrawer::UiDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t framebufferIndex)
    : logger(spdlog::get("tamrel_log")), clearOnLoad(clearOnLoad), presentAfter(presentAfter),
      renderTarget(renderTarget), framebufferIndex(framebufferIndex), screenshotsPath(&PathScreenshots)
{
    context = ImGui::CreateContext();
    // Nothing of the layout is kept between runs.
    ImGui::GetIO().IniFilename = nullptr;
    // Input may arrive before the GUI is up; the window follows with it.
    installInputBridge();
}

UiDrawer::~UiDrawer()
{
    destroy();
    ImGui::DestroyContext(context);
}

void UiDrawer::createSyncObjects(GLFWwindow* win, const GpuInfo* info, vk::Device dev, SwapchainContext* ctx)
{
    if (initialised) destroy();
    window = win;
    drawer::setUpShape(*this, info, dev, ctx, true);
    fence = device.createFence(vk::FenceCreateInfo(vk::FenceCreateFlagBits::eSignaled));
    // Throws when the allocation fails: set-up never goes on without one.
    commandBuffer = device
                        .allocateCommandBuffers(vk::CommandBufferAllocateInfo(
                            graphicsCommandPool, vk::CommandBufferLevel::ePrimary, 1))
                        .front();

    setupStyleAndFonts();
    // The clipboard goes through the window, which the bridge installed at
    // construction did not have yet.
    ImGui::GetIO().ClipboardUserData = window;
    initialised = true;
}

void UiDrawer::init()
{
    createFontTexture();
    createDescriptors();
    createPipeline();
}

void UiDrawer::createFontTexture()
{
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    ImGui::GetIO().Fonts->GetTexDataAsAlpha8(&pixels, &width, &height);
    const auto size = static_cast<vk::DeviceSize>(width) * static_cast<vk::DeviceSize>(height);

    Buffer staging;
    staging.create(device, *gpuInfo, vk::BufferUsageFlagBits::eTransferSrc,
                   vk::MemoryPropertyFlagBits::eHostVisible | vk::MemoryPropertyFlagBits::eHostCoherent, size);
    staging.copyFrom(pixels, size);
    fontImage.create(device, *gpuInfo, vk::ImageUsageFlagBits::eTransferDst | vk::ImageUsageFlagBits::eSampled,
                     vk::MemoryPropertyFlagBits::eDeviceLocal,
                     vk::Extent3D(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1),
                     vk::Format::eR8Unorm, vk::ImageTiling::eOptimal, 1);
    fontImage.copyFromBuffer(staging.buffer, graphicsCommandPool, static_cast<uint32_t>(gpuInfo->graphicsFamily),
                             {0});
    fontImage.createView(vk::ImageAspectFlagBits::eColor, 1, false);
    fontImage.createSampler(vk::Filter::eLinear, vk::Filter::eLinear);
    staging.destroy();
}

void UiDrawer::createDescriptors()
{
    drawer::releaseDescriptors(*this);
    const vk::DescriptorSetLayoutBinding binding(0, vk::DescriptorType::eCombinedImageSampler, 1,
                                                 vk::ShaderStageFlagBits::eFragment);
    descriptorSetLayout = device.createDescriptorSetLayout(vk::DescriptorSetLayoutCreateInfo({}, binding));
    const vk::DescriptorPoolSize size(vk::DescriptorType::eCombinedImageSampler, 1);
    descriptorPool = device.createDescriptorPool(vk::DescriptorPoolCreateInfo({}, 1, size));
    descriptorSet =
        device.allocateDescriptorSets(vk::DescriptorSetAllocateInfo(descriptorPool, descriptorSetLayout)).front();
    const vk::DescriptorImageInfo imageInfo(fontImage.sampler, fontImage.view,
                                            vk::ImageLayout::eShaderReadOnlyOptimal);
    device.updateDescriptorSets(
        vk::WriteDescriptorSet(descriptorSet, 0, 0, vk::DescriptorType::eCombinedImageSampler, imageInfo), {});
}

void UiDrawer::createPipeline()
{
    releaseHandle(pipelineLayout, [&](vk::PipelineLayout l) { device.destroyPipelineLayout(l); });
    releaseHandle(pipeline, [&](vk::Pipeline p) { device.destroyPipeline(p); });
    const vk::PushConstantRange push(vk::ShaderStageFlagBits::eVertex, 0, sizeof(PushBlock));
    pipelineLayout = device.createPipelineLayout(vk::PipelineLayoutCreateInfo({}, descriptorSetLayout, push));

    ShaderModule vert, frag;
    vert.create(device, UiVertShader.data(), shaderCodeSize(UiVertShader), vk::ShaderStageFlagBits::eVertex);
    frag.create(device, UiFragShader.data(), shaderCodeSize(UiFragShader), vk::ShaderStageFlagBits::eFragment);
    drawer::PipelineDesc desc;
    desc.stages = {vert.stageInfo(), frag.stageInfo()};
    desc.bindings = {vk::VertexInputBindingDescription(0, sizeof(ImDrawVert), vk::VertexInputRate::eVertex)};
    desc.attributes = {
        vk::VertexInputAttributeDescription(0, 0, vk::Format::eR32G32Sfloat, IM_OFFSETOF(ImDrawVert, pos)),
        vk::VertexInputAttributeDescription(1, 0, vk::Format::eR32G32Sfloat, IM_OFFSETOF(ImDrawVert, uv)),
        vk::VertexInputAttributeDescription(2, 0, vk::Format::eR8G8B8A8Unorm, IM_OFFSETOF(ImDrawVert, col))};
    desc.depthTest = false;
    desc.blendAttachment = vk::PipelineColorBlendAttachmentState(
        VK_TRUE, vk::BlendFactor::eSrcAlpha, vk::BlendFactor::eOneMinusSrcAlpha, vk::BlendOp::eAdd,
        vk::BlendFactor::eOne, vk::BlendFactor::eZero, vk::BlendOp::eAdd,
        vk::ColorComponentFlagBits::eR | vk::ColorComponentFlagBits::eG | vk::ColorComponentFlagBits::eB |
            vk::ColorComponentFlagBits::eA);
    pipeline = drawer::createGraphicsPipeline(device, nullptr, pipelineLayout, renderPass, desc);
}

bool UiDrawer::holdsScene() const
{
    return sceneSaved && sceneFramebufferIndex == framebufferIndex && swapchainContext &&
           sceneImage.width == swapchainContext->swapchain.width &&
           sceneImage.height == swapchainContext->swapchain.height;
}

void UiDrawer::buildFrame(const float cursor[2], uint32_t framesPerSecond)
{
    ImGui::SetCurrentContext(context);
    ImGuiIO& io = ImGui::GetIO();
    if (swapchainContext) {
        io.DisplaySize = ImVec2(static_cast<float>(swapchainContext->swapchain.width),
                                static_cast<float>(swapchainContext->swapchain.height));
    }
    io.MousePos = ImVec2(cursor[0], cursor[1]);
    io.MouseWheel = wheelDelta;
    wheelDelta = 0.0f;

    ImGui::NewFrame();
    applyDeferredReleases();
    drawInfoOverlay(framesPerSecond);
    drawMenuBar();
    drawScreenshotAndLogButtons();
    ImGui::Render();

    wantCaptureMouse = io.WantCaptureMouse;
    wantCaptureKeyboard = io.WantCaptureKeyboard || io.WantTextInput;
}

void UiDrawer::draw(const float cursor[2], uint32_t imageIndex, uint32_t framesPerSecond, bool sceneRedrawn)
{
    buildFrame(cursor, framesPerSecond);

    // Over an unchanged scene, a GUI that looks as in the last frame leaves
    // the target image as it is; one that changed is drawn over the saved
    // copy of the scene.
    const bool restore = !sceneRedrawn && holdsScene();
    thisFrame.clear();
    ui::appendDrawData(thisFrame, *ImGui::GetDrawData());
    pendingSubmit = !restore || thisFrame != lastFrame;
    if (!pendingSubmit) return;
    lastFrame.swap(thisFrame);
    saveScene = !restore;

    const vk::Result waited = device.waitForFences(fence, VK_TRUE, UINT64_MAX);
    if (waited != vk::Result::eSuccess && waited != vk::Result::eTimeout) {
        vk::resultCheck(waited, "vk::Device::waitForFences");
    }
    updateBuffers();
    recordCommandBuffer(imageIndex);
}

void UiDrawer::updateBuffers()
{
    const ImDrawData& data = *ImGui::GetDrawData();
    const auto vertexTotal = static_cast<uint64_t>(data.TotalVtxCount);
    const auto indexTotal = static_cast<uint64_t>(data.TotalIdxCount);
    const vk::MemoryPropertyFlags hostMemory =
        vk::MemoryPropertyFlagBits::eHostVisible | vk::MemoryPropertyFlagBits::eHostCoherent;
    if (ui::needsNewBuffer(vertexBuffer.buffer, vertexCount, vertexTotal)) {
        vertexCount = vertexTotal;
        vertexBuffer.create(device, *gpuInfo, vk::BufferUsageFlagBits::eVertexBuffer, hostMemory,
                            vertexTotal * sizeof(ImDrawVert));
    }
    if (ui::needsNewBuffer(indexBuffer.buffer, indexCount, indexTotal)) {
        indexCount = indexTotal;
        indexBuffer.create(device, *gpuInfo, vk::BufferUsageFlagBits::eIndexBuffer, hostMemory,
                           indexTotal * sizeof(ImDrawIdx));
    }
    if (vertexTotal == 0 || indexTotal == 0) return;

    void* vertexCursor = nullptr;
    void* indexCursor = nullptr;
    for (int n = 0; n < data.CmdListsCount; ++n) {
        const ImDrawList& list = *data.CmdLists[n];
        const bool last = n + 1 == data.CmdListsCount;
        vertexBuffer.appendMapped(list.VtxBuffer.Data, list.VtxBuffer.Size * sizeof(ImDrawVert), vertexCursor,
                                  last);
        indexBuffer.appendMapped(list.IdxBuffer.Data, list.IdxBuffer.Size * sizeof(ImDrawIdx), indexCursor, last);
    }
}

void UiDrawer::ensureSceneImage(vk::Extent2D extent)
{
    if (sceneImage.image && sceneImage.width == extent.width && sceneImage.height == extent.height &&
        sceneImage.format == swapchainContext->swapchain.colorFormat) {
        return;
    }
    sceneImage.destroy();
    sceneSaved = false;
    sceneImage.create(device, *gpuInfo, vk::ImageUsageFlagBits::eTransferSrc | vk::ImageUsageFlagBits::eTransferDst,
                      vk::MemoryPropertyFlagBits::eDeviceLocal, vk::Extent3D(extent.width, extent.height, 1),
                      swapchainContext->swapchain.colorFormat, vk::ImageTiling::eOptimal, 1);
}

void UiDrawer::recordSceneCopy(vk::CommandBuffer cb, vk::Image target, bool save)
{
    using S = vk::PipelineStageFlagBits;
    using A = vk::AccessFlagBits;
    using L = vk::ImageLayout;
    const vk::ImageSubresourceRange range(vk::ImageAspectFlagBits::eColor, 0, 1, 0, 1);
    auto barrier = [&](vk::Image image, L from, L to, vk::AccessFlags srcAccess, vk::AccessFlags dstAccess) {
        return vk::ImageMemoryBarrier(srcAccess, dstAccess, from, to, VK_QUEUE_FAMILY_IGNORED,
                                      VK_QUEUE_FAMILY_IGNORED, image, range);
    };
    // The target was last written as an attachment and sampled by the
    // previous output pass; the scene copy was last read or written by a copy.
    const vk::PipelineStageFlags before = S::eColorAttachmentOutput | S::eFragmentShader | S::eTransfer;
    const vk::ImageMemoryBarrier toCopy[2] = {
        save ? barrier(target, L::eColorAttachmentOptimal, L::eTransferSrcOptimal, A::eColorAttachmentWrite,
                       A::eTransferRead)
             : barrier(target, L::eColorAttachmentOptimal, L::eTransferDstOptimal, A::eColorAttachmentWrite,
                       A::eTransferWrite),
        save ? barrier(sceneImage.image, L::eUndefined, L::eTransferDstOptimal, {}, A::eTransferWrite)
             : barrier(sceneImage.image, L::eTransferSrcOptimal, L::eTransferSrcOptimal, A::eTransferWrite,
                       A::eTransferRead)};
    cb.pipelineBarrier(before, S::eTransfer, {}, {}, {}, toCopy);

    const vk::ImageSubresourceLayers layers(vk::ImageAspectFlagBits::eColor, 0, 0, 1);
    const vk::ImageCopy region(layers, {0, 0, 0}, layers, {0, 0, 0},
                               vk::Extent3D(sceneImage.width, sceneImage.height, 1));
    if (save) {
        cb.copyImage(target, L::eTransferSrcOptimal, sceneImage.image, L::eTransferDstOptimal, region);
    } else {
        cb.copyImage(sceneImage.image, L::eTransferSrcOptimal, target, L::eTransferDstOptimal, region);
    }

    const vk::ImageMemoryBarrier toAttachment =
        barrier(target, save ? L::eTransferSrcOptimal : L::eTransferDstOptimal, L::eColorAttachmentOptimal,
                save ? vk::AccessFlags() : A::eTransferWrite, A::eColorAttachmentRead | A::eColorAttachmentWrite);
    cb.pipelineBarrier(S::eTransfer, S::eColorAttachmentOutput, {}, {}, {}, toAttachment);
    if (save) {
        const vk::ImageMemoryBarrier toSource = barrier(sceneImage.image, L::eTransferDstOptimal,
                                                        L::eTransferSrcOptimal, A::eTransferWrite, A::eTransferRead);
        cb.pipelineBarrier(S::eTransfer, S::eTransfer, {}, {}, {}, toSource);
    }
}

void UiDrawer::recordCommandBuffer(uint32_t imageIndex)
{
    const vk::Extent2D extent(swapchainContext->swapchain.width, swapchainContext->swapchain.height);
    std::vector<vk::ClearValue> clearValues;
    if (clearOnLoad) {
        clearValues = {vk::ClearColorValue(std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}),
                       vk::ClearDepthStencilValue(1.0f, 0)};
    }
    const vk::Framebuffer framebuffer =
        drawer::passFramebuffer(*swapchainContext, renderTarget, framebufferIndex, imageIndex);

    commandBuffer.begin(vk::CommandBufferBeginInfo(vk::CommandBufferUsageFlagBits::eSimultaneousUse));
    // Only an offscreen target outlives the frame, so only it has a scene
    // worth keeping.
    if (renderTarget != 0) {
        ensureSceneImage(extent);
        recordSceneCopy(commandBuffer, swapchainContext->colorAttachments[framebufferIndex].image, saveScene);
    }
    drawer::beginPass(commandBuffer, renderPass, framebuffer, extent, clearValues, false);

    pushBlock.scale[0] = 2.0f / static_cast<float>(extent.width);
    pushBlock.scale[1] = 2.0f / static_cast<float>(extent.height);
    commandBuffer.pushConstants(pipelineLayout, vk::ShaderStageFlagBits::eVertex, 0, sizeof(PushBlock), &pushBlock);

    const ImDrawData& data = *ImGui::GetDrawData();
    if (data.TotalVtxCount > 0 && data.TotalIdxCount > 0) {
        commandBuffer.bindDescriptorSets(vk::PipelineBindPoint::eGraphics, pipelineLayout, 0, descriptorSet, {});
        commandBuffer.bindVertexBuffers(0, vertexBuffer.buffer, vk::DeviceSize(0));
        commandBuffer.bindIndexBuffer(indexBuffer.buffer, 0, vk::IndexType::eUint16);
        commandBuffer.bindPipeline(vk::PipelineBindPoint::eGraphics, pipeline);
        uint32_t indexOffset = 0;
        int32_t vertexOffset = 0;
        for (int n = 0; n < data.CmdListsCount; ++n) {
            const ImDrawList& list = *data.CmdLists[n];
            for (const ImDrawCmd& cmd : list.CmdBuffer) {
                const float clip[4] = {cmd.ClipRect.x, cmd.ClipRect.y, cmd.ClipRect.z, cmd.ClipRect.w};
                vk::Rect2D scissor;
                if (ui::scissorFor(clip, extent, scissor)) {
                    commandBuffer.setScissor(0, scissor);
                    commandBuffer.drawIndexed(cmd.ElemCount, 1, indexOffset, vertexOffset, 0);
                }
                indexOffset += cmd.ElemCount;
            }
            vertexOffset += list.VtxBuffer.Size;
        }
    }
    drawer::endPass(commandBuffer, true);
}

vk::Semaphore UiDrawer::submit(vk::Queue queue, uint32_t waitCount, const vk::Semaphore* waitSemaphores)
{
    device.resetFences(fence);
    // The pass begins with a copy when it keeps or restores the scene.
    const vk::PipelineStageFlags waitStage =
        vk::PipelineStageFlagBits::eColorAttachmentOutput | vk::PipelineStageFlagBits::eTransfer;
    const uint32_t waits = waitCount > 0 && waitSemaphores ? 1 : 0;
    const vk::SubmitInfo info(waits, waitSemaphores, &waitStage, 1, &commandBuffer, 1, &semaphore);
    queue.submit(info, fence);
    pendingSubmit = false;
    if (renderTarget != 0 && saveScene) {
        sceneSaved = true;
        sceneFramebufferIndex = framebufferIndex;
    }
    return semaphore;
}

void UiDrawer::destroy()
{
    pendingSubmit = false;
    sceneSaved = false;
    lastFrame.clear();
    if (!device) {
        initialised = false;
        return;
    }
    indexBuffer.destroy();
    vertexBuffer.destroy();
    fontImage.destroy();
    sceneImage.destroy();
    releaseHandle(fence, [&](vk::Fence f) { device.destroyFence(f); });
    releaseHandle(semaphore, [&](vk::Semaphore s) { device.destroySemaphore(s); });
    if (commandBuffer && graphicsCommandPool) device.freeCommandBuffers(graphicsCommandPool, commandBuffer);
    commandBuffer = nullptr;
    releaseHandle(transferCommandPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    releaseHandle(graphicsCommandPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    releaseHandle(pipeline, [&](vk::Pipeline p) { device.destroyPipeline(p); });
    releaseHandle(pipelineLayout, [&](vk::PipelineLayout l) { device.destroyPipelineLayout(l); });
    drawer::releaseDescriptors(*this);
    releaseHandle(renderPass, [&](vk::RenderPass p) { device.destroyRenderPass(p); });
    vertexCount = 0;
    indexCount = 0;
    initialised = false;
}
