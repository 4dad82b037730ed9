#pragma once
// Holder of one Vulkan buffer with its own memory: vertex, index, uniform and
// staging buffers. Filled from the host by mapping, in one copy or in a run
// of appended pieces. Owns its objects; destroy() may run any number of
// times. Not copyable; main thread only.

#include <vulkan/vulkan.hpp>

struct GpuInfo;

struct Buffer {
    Buffer() = default;
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    vk::Device device;
    vk::DeviceSize requestedSize = 0;
    vk::DeviceSize allocationSize = 0;
    vk::DeviceMemory memory;
    vk::Buffer buffer;

    // (Re)creates buffer and memory; a zero size is refused.
    void create(const vk::Device& device, const GpuInfo& gpuInfo, vk::BufferUsageFlags usage,
                vk::MemoryPropertyFlags memoryProperties, vk::DeviceSize size);

    // Copies size bytes to the start of the (host-visible) memory.
    void copyFrom(const void* data, vk::DeviceSize size);

    // Appends size bytes at cursor; a null cursor maps the memory and starts
    // at its beginning, `last` unmaps. A piece that would pass the end of the
    // allocation unmaps and throws.
    void appendMapped(const void* data, vk::DeviceSize size, void*& cursor, bool last);

    void destroy();

private:
    void unmap();
    void* mapped = nullptr;
};
