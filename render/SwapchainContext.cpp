#include "SwapchainContext.h"

#include "GpuInfo.h"
#include "OneShotCommand.h"
#include "VulkanCommon.h"

#include <array>

SwapchainContext::~SwapchainContext()
{
    cleanup();
}

void SwapchainContext::init(vk::PhysicalDevice pd, const GpuInfo* info, vk::Device dev, vk::SurfaceKHR sf,
                            uint32_t width, uint32_t height)
{
    surface = sf;
    physicalDevice = pd;
    gpuInfo = info;
    device = dev;

    createCommandPools();
    swapchain.init(physicalDevice, gpuInfo, device, surface, false);
    swapchain.create(width, height);

    releaseHandle(renderPass, [&](vk::RenderPass p) { device.destroyRenderPass(p); });
    renderPass = createRenderPass(true, false, true);
    createDepthImage();
    createColorAttachments();
    createFramebuffers(0);
    createFramebuffers(1);
}

void SwapchainContext::createCommandPools()
{
    releaseHandle(transferCommandPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    releaseHandle(graphicsCommandPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    graphicsCommandPool = device.createCommandPool(vk::CommandPoolCreateInfo(
        vk::CommandPoolCreateFlagBits::eResetCommandBuffer, static_cast<uint32_t>(gpuInfo->graphicsFamily)));
    transferCommandPool = device.createCommandPool(vk::CommandPoolCreateInfo(
        vk::CommandPoolCreateFlagBits::eTransient, static_cast<uint32_t>(gpuInfo->transferFamily)));
}

vk::RenderPass SwapchainContext::createRenderPass(bool clear, bool present, bool clearDepth) const
{
    const bool depthCleared = clear && clearDepth;
    const std::array<vk::AttachmentDescription, 2> attachments = {
        vk::AttachmentDescription(
            {}, swapchain.colorFormat, vk::SampleCountFlagBits::e1,
            clear ? vk::AttachmentLoadOp::eClear : vk::AttachmentLoadOp::eLoad, vk::AttachmentStoreOp::eStore,
            vk::AttachmentLoadOp::eDontCare, vk::AttachmentStoreOp::eDontCare,
            clear ? vk::ImageLayout::eUndefined : vk::ImageLayout::eColorAttachmentOptimal,
            present ? vk::ImageLayout::ePresentSrcKHR : vk::ImageLayout::eColorAttachmentOptimal),
        vk::AttachmentDescription({}, swapchain.depthFormat, vk::SampleCountFlagBits::e1,
                                  depthCleared ? vk::AttachmentLoadOp::eClear : vk::AttachmentLoadOp::eLoad,
                                  present ? vk::AttachmentStoreOp::eDontCare : vk::AttachmentStoreOp::eStore,
                                  vk::AttachmentLoadOp::eDontCare, vk::AttachmentStoreOp::eDontCare,
                                  depthCleared ? vk::ImageLayout::eUndefined
                                               : vk::ImageLayout::eDepthStencilAttachmentOptimal,
                                  vk::ImageLayout::eDepthStencilAttachmentOptimal)};

    const vk::AttachmentReference colorRef(0, vk::ImageLayout::eColorAttachmentOptimal);
    const vk::AttachmentReference depthRef(1, vk::ImageLayout::eDepthStencilAttachmentOptimal);
    const vk::SubpassDescription subpass({}, vk::PipelineBindPoint::eGraphics, {}, colorRef, {}, &depthRef);

    // The passes of a frame run one after another on one queue without
    // semaphores between them, and share the offscreen images and the depth
    // image across frames. These two dependencies, identical in every pass
    // so that all stay compatible, order each pass's attachment access after
    // the earlier passes' writes and samples (and, through the colour output
    // stage, after the acquire semaphore wait), and make its writes visible
    // to the later passes, their sampling and the screenshot's transfer.
    using S = vk::PipelineStageFlagBits;
    using A = vk::AccessFlagBits;
    const vk::PipelineStageFlags attachmentStages =
        S::eColorAttachmentOutput | S::eEarlyFragmentTests | S::eLateFragmentTests | S::eFragmentShader;
    const vk::AccessFlags writes = A::eColorAttachmentWrite | A::eDepthStencilAttachmentWrite;
    const vk::AccessFlags accesses = A::eColorAttachmentRead | A::eColorAttachmentWrite |
                                     A::eDepthStencilAttachmentRead | A::eDepthStencilAttachmentWrite |
                                     A::eShaderRead;
    const std::array<vk::SubpassDependency, 2> dependencies = {
        vk::SubpassDependency(VK_SUBPASS_EXTERNAL, 0, attachmentStages, attachmentStages, writes, accesses),
        vk::SubpassDependency(0, VK_SUBPASS_EXTERNAL, S::eColorAttachmentOutput | S::eLateFragmentTests,
                              attachmentStages | S::eTransfer, writes, accesses | A::eTransferRead)};

    return device.createRenderPass(vk::RenderPassCreateInfo({}, attachments, subpass, dependencies));
}

void SwapchainContext::createDepthImage()
{
    depthImage.create(device, *gpuInfo, vk::ImageUsageFlagBits::eDepthStencilAttachment,
                      vk::MemoryPropertyFlagBits::eDeviceLocal,
                      vk::Extent3D(swapchain.width, swapchain.height, 1), swapchain.depthFormat,
                      vk::ImageTiling::eOptimal, 1);
    vk::ImageAspectFlags aspect = vk::ImageAspectFlagBits::eDepth;
    if (swapchain.wantStencil) aspect |= vk::ImageAspectFlagBits::eStencil;
    depthImage.createView(aspect, 1, false);

    OneShotCommand command{device, graphicsCommandPool, static_cast<uint32_t>(gpuInfo->graphicsFamily),
                           nullptr};
    try {
        command.begin();
        depthImage.transitionLayout(command.commandBuffer, vk::ImageLayout::eUndefined,
                                    vk::ImageLayout::eDepthStencilAttachmentOptimal, aspect, 1);
        command.submitAndWait();
    } catch (...) {
        command.free();
        throw;
    }
    command.free();
}

void SwapchainContext::createColorAttachments()
{
    OneShotCommand command{device, graphicsCommandPool, static_cast<uint32_t>(gpuInfo->graphicsFamily),
                           nullptr};
    try {
        command.begin();
        for (Image& attachment : colorAttachments) {
            attachment.create(device, *gpuInfo,
                              vk::ImageUsageFlagBits::eTransferSrc | vk::ImageUsageFlagBits::eTransferDst |
                                  vk::ImageUsageFlagBits::eSampled |
                                  vk::ImageUsageFlagBits::eColorAttachment,
                              vk::MemoryPropertyFlagBits::eDeviceLocal,
                              vk::Extent3D(swapchain.width, swapchain.height, 1), swapchain.colorFormat,
                              vk::ImageTiling::eOptimal, 1);
            attachment.createView(vk::ImageAspectFlagBits::eColor, 1, false);
            attachment.createSampler(vk::Filter::eNearest, vk::Filter::eNearest);
            attachment.transitionLayout(command.commandBuffer, vk::ImageLayout::eUndefined,
                                        vk::ImageLayout::eColorAttachmentOptimal,
                                        vk::ImageAspectFlagBits::eColor, 1);
        }
        command.submitAndWait();
    } catch (...) {
        command.free();
        throw;
    }
    command.free();
}

void SwapchainContext::createFramebuffers(uint32_t kind)
{
    if (kind > 1) return;
    std::vector<vk::Framebuffer>& framebuffers = kind == 0 ? swapchainFramebuffers : offscreenFramebuffers;
    for (vk::Framebuffer framebuffer : framebuffers) {
        if (framebuffer) device.destroyFramebuffer(framebuffer);
    }
    framebuffers.clear();

    const uint32_t count = kind == 0 ? swapchain.imageCount : 2;
    for (uint32_t i = 0; i < count; ++i) {
        const std::array<vk::ImageView, 2> views = {
            kind == 0 ? swapchain.imageViews[i] : colorAttachments[i].view, depthImage.view};
        framebuffers.push_back(device.createFramebuffer(
            vk::FramebufferCreateInfo({}, renderPass, views, swapchain.width, swapchain.height, 1)));
    }
}

void SwapchainContext::cleanup()
{
    depthImage.destroy();
    colorAttachments[0].destroy();
    colorAttachments[1].destroy();
    for (auto* framebuffers : {&offscreenFramebuffers, &swapchainFramebuffers}) {
        for (vk::Framebuffer framebuffer : *framebuffers) {
            if (framebuffer) device.destroyFramebuffer(framebuffer);
        }
        framebuffers->clear();
    }
    releaseHandle(renderPass, [&](vk::RenderPass p) { device.destroyRenderPass(p); });
    swapchain.destroy();
    releaseHandle(transferCommandPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
    releaseHandle(graphicsCommandPool, [&](vk::CommandPool p) { device.destroyCommandPool(p); });
}
