#include "Image.h"

#include "GpuInfo.h"
#include "OneShotCommand.h"
#include "VulkanCommon.h"

#include <algorithm>
#include <stdexcept>
#include <string>

uint32_t findMemoryType(const vk::PhysicalDeviceMemoryProperties& properties, uint32_t typeBits,
                        vk::MemoryPropertyFlags required)
{
    for (uint32_t i = 0; i < properties.memoryTypeCount && i < VK_MAX_MEMORY_TYPES; ++i) {
        if ((typeBits & (1u << i)) && (properties.memoryTypes[i].propertyFlags & required) == required) {
            return i;
        }
    }
    throw std::runtime_error("failed to find suitable memory type!");
}

Image::~Image()
{
    destroy();
}

void Image::create(const vk::Device& dev, const GpuInfo& gpuInfo, vk::ImageUsageFlags usage,
                   vk::MemoryPropertyFlags memoryProperties, vk::Extent3D extent, vk::Format fmt,
                   vk::ImageTiling tiling, uint32_t arrayLayers)
{
    device = dev;
    width = extent.width;
    height = extent.height;
    depth = extent.depth;
    format = fmt;
    maxAnisotropy = std::min(16.0f, gpuInfo.properties.limits.maxSamplerAnisotropy);

    if (image) {
        device.destroyImage(image);
        image = nullptr;
    }
    const vk::ImageCreateInfo createInfo({}, vk::ImageType::e2D, format, extent, 1, arrayLayers,
                                         vk::SampleCountFlagBits::e1, tiling, usage,
                                         vk::SharingMode::eExclusive, {}, vk::ImageLayout::eUndefined);
    image = device.createImage(createInfo);

    const vk::MemoryRequirements requirements = device.getImageMemoryRequirements(image);
    allocationSize = requirements.size;
    const uint32_t typeIndex =
        findMemoryType(gpuInfo.memoryProperties, requirements.memoryTypeBits, memoryProperties);

    if (memory) {
        device.freeMemory(memory);
        memory = nullptr;
    }
    memory = device.allocateMemory(vk::MemoryAllocateInfo(allocationSize, typeIndex));
    device.bindImageMemory(image, memory, 0);
}

void Image::createSampler(vk::Filter magFilter, vk::Filter minFilter)
{
    if (sampler) {
        device.destroySampler(sampler);
        sampler = nullptr;
    }
    const vk::SamplerCreateInfo createInfo(
        {}, magFilter, minFilter, vk::SamplerMipmapMode::eLinear, vk::SamplerAddressMode::eClampToEdge,
        vk::SamplerAddressMode::eClampToEdge, vk::SamplerAddressMode::eClampToEdge, 0.0f, VK_TRUE,
        maxAnisotropy, VK_FALSE, vk::CompareOp::eAlways, 0.0f, 0.0f, vk::BorderColor::eIntOpaqueBlack,
        VK_FALSE);
    sampler = device.createSampler(createInfo);
}

void Image::createView(vk::ImageAspectFlags aspectMask, uint32_t layerCount, bool isArray)
{
    if (view) {
        device.destroyImageView(view);
        view = nullptr;
    }
    const vk::ImageViewCreateInfo createInfo(
        {}, image, isArray ? vk::ImageViewType::e2DArray : vk::ImageViewType::e2D, format, {},
        vk::ImageSubresourceRange(aspectMask, 0, 1, 0, layerCount));
    view = device.createImageView(createInfo);
}

ImageAccessMasks Image::GetAccessMasks(vk::ImageLayout oldLayout, vk::ImageLayout newLayout)
{
    using A = vk::AccessFlagBits;
    using S = vk::PipelineStageFlagBits;
    ImageAccessMasks masks;

    switch (oldLayout) {
    case vk::ImageLayout::eUndefined:
        masks.srcStage = S::eTopOfPipe;
        break;
    case vk::ImageLayout::eColorAttachmentOptimal:
        masks.srcAccess = A::eColorAttachmentWrite;
        masks.srcStage = S::eColorAttachmentOutput;
        break;
    case vk::ImageLayout::eDepthStencilAttachmentOptimal:
        masks.srcAccess = A::eDepthStencilAttachmentWrite;
        masks.srcStage = S::eEarlyFragmentTests | S::eLateFragmentTests;
        break;
    case vk::ImageLayout::eShaderReadOnlyOptimal:
        // Sampled images are read in fragment shaders too.
        masks.srcAccess = A::eShaderRead;
        masks.srcStage = S::eVertexShader | S::eFragmentShader | S::eComputeShader;
        break;
    case vk::ImageLayout::eTransferSrcOptimal:
        masks.srcAccess = A::eTransferRead;
        masks.srcStage = S::eTransfer;
        break;
    case vk::ImageLayout::eTransferDstOptimal:
        masks.srcAccess = A::eTransferWrite;
        masks.srcStage = S::eTransfer;
        break;
    case vk::ImageLayout::ePreinitialized:
        masks.srcAccess = A::eHostWrite;
        masks.srcStage = S::eHost;
        break;
    default:
        throw std::invalid_argument("@Image::GetAccessMasks: unsupported old image layout : " +
                                    vk::to_string(oldLayout));
    }

    switch (newLayout) {
    case vk::ImageLayout::eGeneral:
        masks.dstAccess = A::eMemoryRead;
        masks.dstStage = masks.srcStage;
        break;
    case vk::ImageLayout::eColorAttachmentOptimal:
        masks.dstAccess = A::eColorAttachmentRead | A::eColorAttachmentWrite;
        masks.dstStage = S::eColorAttachmentOutput;
        break;
    case vk::ImageLayout::eDepthStencilAttachmentOptimal:
        masks.dstAccess = A::eDepthStencilAttachmentRead | A::eDepthStencilAttachmentWrite;
        masks.dstStage = S::eEarlyFragmentTests | S::eLateFragmentTests;
        break;
    case vk::ImageLayout::eShaderReadOnlyOptimal:
        masks.dstAccess = A::eShaderRead;
        masks.dstStage = S::eVertexShader | S::eFragmentShader;
        break;
    case vk::ImageLayout::eTransferSrcOptimal:
        masks.dstAccess = A::eTransferRead;
        masks.dstStage = S::eTransfer;
        break;
    case vk::ImageLayout::eTransferDstOptimal:
        masks.dstAccess = A::eTransferWrite;
        masks.dstStage = S::eTransfer;
        break;
    default:
        throw std::invalid_argument("@Image::GetAccessMasks: unsupported new image layout : " +
                                    vk::to_string(newLayout));
    }
    return masks;
}

void Image::transitionLayout(vk::CommandBuffer commandBuffer, vk::ImageLayout oldLayout,
                             vk::ImageLayout newLayout, vk::ImageAspectFlags aspectMask,
                             uint32_t layerCount) const
{
    const ImageAccessMasks masks = GetAccessMasks(oldLayout, newLayout);
    const vk::ImageMemoryBarrier barrier(masks.srcAccess, masks.dstAccess, oldLayout, newLayout,
                                         VK_QUEUE_FAMILY_IGNORED, VK_QUEUE_FAMILY_IGNORED, image,
                                         vk::ImageSubresourceRange(aspectMask, 0, 1, 0, layerCount));
    commandBuffer.pipelineBarrier(masks.srcStage, masks.dstStage, {}, {}, {}, barrier);
}

std::vector<vk::BufferImageCopy>
Image::layerCopyRegions(const std::vector<vk::DeviceSize>& layerOffsets) const
{
    std::vector<vk::BufferImageCopy> regions;
    regions.reserve(layerOffsets.size());
    for (uint32_t i = 0; i < layerOffsets.size(); ++i) {
        regions.emplace_back(layerOffsets[i], 0, 0,
                             vk::ImageSubresourceLayers(vk::ImageAspectFlagBits::eColor, 0, i, 1),
                             vk::Offset3D(0, 0, 0), vk::Extent3D(width, height, depth));
    }
    return regions;
}

void Image::copyFromBuffer(vk::Buffer sourceBuffer, vk::CommandPool commandPool, uint32_t queueFamilyIndex,
                           const std::vector<vk::DeviceSize>& layerOffsets)
{
    const auto layerCount = static_cast<uint32_t>(layerOffsets.size());
    OneShotCommand command{device, commandPool, queueFamilyIndex, nullptr};
    try {
        command.begin();
        transitionLayout(command.commandBuffer, vk::ImageLayout::eUndefined,
                         vk::ImageLayout::eTransferDstOptimal, vk::ImageAspectFlagBits::eColor, layerCount);
        command.commandBuffer.copyBufferToImage(sourceBuffer, image, vk::ImageLayout::eTransferDstOptimal,
                                                layerCopyRegions(layerOffsets));
        transitionLayout(command.commandBuffer, vk::ImageLayout::eTransferDstOptimal,
                         vk::ImageLayout::eShaderReadOnlyOptimal, vk::ImageAspectFlagBits::eColor,
                         layerCount);
        command.submitAndWait();
    } catch (...) {
        command.free();
        throw;
    }
    command.free();
}

void Image::destroy()
{
    if (!device) return;
    releaseHandle(sampler, [&](vk::Sampler s) { device.destroySampler(s); });
    releaseHandle(view, [&](vk::ImageView v) { device.destroyImageView(v); });
    releaseHandle(image, [&](vk::Image i) { device.destroyImage(i); });
    releaseHandle(memory, [&](vk::DeviceMemory m) { device.freeMemory(m); });
}
