#pragma once
// Holder of one Vulkan image with its memory, one view and one sampler: the
// depth image and offscreen targets, screenshot read-back images, the matcap
// array and the GUI font. Owns its objects and releases them in destroy(),
// which may run any number of times. Not copyable; main thread only.

#include <vulkan/vulkan.hpp>

#include <cstdint>
#include <vector>

struct GpuInfo;

// Lowest memory type index allowed by typeBits whose flags hold every
// requested flag; throws "failed to find suitable memory type!".
uint32_t findMemoryType(const vk::PhysicalDeviceMemoryProperties& properties, uint32_t typeBits,
                        vk::MemoryPropertyFlags required);

struct ImageAccessMasks {
    vk::AccessFlags srcAccess;
    vk::AccessFlags dstAccess;
    vk::PipelineStageFlags srcStage;
    vk::PipelineStageFlags dstStage;
};

struct Image {
    Image() = default;
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    vk::Device device;
    vk::DeviceSize allocationSize = 0;
    vk::DeviceMemory memory;
    vk::Image image;
    vk::ImageView view;
    vk::Sampler sampler;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 0;
    vk::Format format = vk::Format::eUndefined;
    // Anisotropy the device allows, taken at create for the sampler.
    float maxAnisotropy = 16.0f;

    // (Re)creates image and memory; view and sampler are replaced by their
    // own functions afterwards.
    void create(const vk::Device& device, const GpuInfo& gpuInfo, vk::ImageUsageFlags usage,
                vk::MemoryPropertyFlags memoryProperties, vk::Extent3D extent, vk::Format format,
                vk::ImageTiling tiling, uint32_t arrayLayers);
    void createSampler(vk::Filter magFilter, vk::Filter minFilter);
    void createView(vk::ImageAspectFlags aspectMask, uint32_t layerCount, bool isArray);

    // Records one barrier moving layers 0..layerCount-1 between the layouts.
    void transitionLayout(vk::CommandBuffer commandBuffer, vk::ImageLayout oldLayout,
                          vk::ImageLayout newLayout, vk::ImageAspectFlags aspectMask,
                          uint32_t layerCount) const;

    // Access and stage masks of a transition; unsupported layouts throw
    // std::invalid_argument naming the layout.
    static ImageAccessMasks GetAccessMasks(vk::ImageLayout oldLayout, vk::ImageLayout newLayout);

    // One copy region per layer, region i reading layerOffsets[i] into layer i.
    std::vector<vk::BufferImageCopy> layerCopyRegions(const std::vector<vk::DeviceSize>& layerOffsets) const;

    // Fills every layer from a staging buffer and leaves the image in
    // SHADER_READ_ONLY_OPTIMAL; blocks until the GPU has finished.
    void copyFromBuffer(vk::Buffer sourceBuffer, vk::CommandPool commandPool, uint32_t queueFamilyIndex,
                        const std::vector<vk::DeviceSize>& layerOffsets);

    void destroy();
};
