#include "Screenshot.h"

#include "GpuInfo.h"
#include "OneShotCommand.h"
#include "RgbaImage.h"
#include "SwapchainContext.h"

#include <mutex>

bool screenshotSwapsRedBlue(bool blitSupported, vk::Format format)
{
    if (blitSupported) return false;
    switch (format) {
    case vk::Format::eB8G8R8A8Unorm:
    case vk::Format::eB8G8R8A8Snorm:
    case vk::Format::eB8G8R8A8Uscaled:
    case vk::Format::eB8G8R8A8Sscaled:
    case vk::Format::eB8G8R8A8Uint:
    case vk::Format::eB8G8R8A8Sint:
    case vk::Format::eB8G8R8A8Srgb:
        return true;
    default:
        return false;
    }
}

void writeAttachmentPng(const SwapchainContext& context, uint32_t attachmentIndex, const std::string& path,
                        bool useBlit)
{
    const Image& source = context.colorAttachments[attachmentIndex];
    const vk::Device device = context.device;
    const auto color = vk::ImageAspectFlagBits::eColor;

    Image target;
    OneShotCommand command{device, context.graphicsCommandPool,
                           static_cast<uint32_t>(context.gpuInfo->graphicsFamily), nullptr};
    void* mapped = nullptr;
    try {
        target.create(device, *context.gpuInfo, vk::ImageUsageFlagBits::eTransferDst,
                      vk::MemoryPropertyFlagBits::eHostVisible | vk::MemoryPropertyFlagBits::eHostCoherent,
                      vk::Extent3D(source.width, source.height, source.depth), vk::Format::eR8G8B8A8Unorm,
                      vk::ImageTiling::eLinear, 1);

        command.begin();
        const vk::CommandBuffer cmd = command.commandBuffer;
        target.transitionLayout(cmd, vk::ImageLayout::eUndefined, vk::ImageLayout::eTransferDstOptimal, color,
                                1);
        source.transitionLayout(cmd, vk::ImageLayout::eColorAttachmentOptimal,
                                vk::ImageLayout::eTransferSrcOptimal, color, 1);
        const vk::ImageSubresourceLayers layer(color, 0, 0, 1);
        if (useBlit) {
            const std::array<vk::Offset3D, 2> box = {
                vk::Offset3D(0, 0, 0),
                vk::Offset3D(static_cast<int32_t>(source.width), static_cast<int32_t>(source.height), 1)};
            cmd.blitImage(source.image, vk::ImageLayout::eTransferSrcOptimal, target.image,
                          vk::ImageLayout::eTransferDstOptimal, vk::ImageBlit(layer, box, layer, box),
                          vk::Filter::eNearest);
        } else {
            cmd.copyImage(
                source.image, vk::ImageLayout::eTransferSrcOptimal, target.image,
                vk::ImageLayout::eTransferDstOptimal,
                vk::ImageCopy(layer, {}, layer, {}, vk::Extent3D(source.width, source.height, source.depth)));
        }
        source.transitionLayout(cmd, vk::ImageLayout::eTransferSrcOptimal,
                                vk::ImageLayout::eColorAttachmentOptimal, color, 1);
        // The host reads the copy next: make the transfer's writes visible to
        // host reads, which the fence alone does not.
        const ImageAccessMasks masks =
            Image::GetAccessMasks(vk::ImageLayout::eTransferDstOptimal, vk::ImageLayout::eGeneral);
        const vk::ImageMemoryBarrier toHost(masks.srcAccess, vk::AccessFlagBits::eHostRead,
                                            vk::ImageLayout::eTransferDstOptimal, vk::ImageLayout::eGeneral,
                                            VK_QUEUE_FAMILY_IGNORED, VK_QUEUE_FAMILY_IGNORED, target.image,
                                            vk::ImageSubresourceRange(color, 0, 1, 0, 1));
        cmd.pipelineBarrier(masks.srcStage, vk::PipelineStageFlagBits::eHost, {}, {}, {}, toHost);
        command.submitAndWait();

        const vk::SubresourceLayout layout =
            device.getImageSubresourceLayout(target.image, vk::ImageSubresource(color, 0, 0));
        mapped = device.mapMemory(target.memory, 0, VK_WHOLE_SIZE);
        const bool swap = screenshotSwapsRedBlue(useBlit, context.swapchain.colorFormat);
        const auto* rows = static_cast<const uint8_t*>(mapped) + layout.offset;
        const auto padding = static_cast<uint32_t>(layout.rowPitch - 4ull * source.width);
        const RgbaImage picture =
            RgbaImage::fromRawRows(rows, source.width, source.height, padding, swap, true);
        device.unmapMemory(target.memory);
        mapped = nullptr;
        picture.savePng(path);
    } catch (...) {
        if (mapped) device.unmapMemory(target.memory);
        command.free();
        target.destroy();
        throw;
    }
    command.free();
    target.destroy();
}

void SwapchainContext::captureScreenshot(std::string path, uint32_t attachmentIndex)
{
    // Decided once for the run, on the first capture.
    static std::once_flag decided;
    static bool blitSupported = false;
    std::call_once(decided, [this] {
        const vk::FormatProperties colorProps = physicalDevice.getFormatProperties(swapchain.colorFormat);
        const vk::FormatProperties rgbaProps = physicalDevice.getFormatProperties(vk::Format::eR8G8B8A8Unorm);
        blitSupported = (colorProps.optimalTilingFeatures & vk::FormatFeatureFlagBits::eBlitSrc) &&
                        (rgbaProps.linearTilingFeatures & vk::FormatFeatureFlagBits::eBlitDst);
    });
    writeAttachmentPng(*this, attachmentIndex, path, blitSupported);
}
