#include "Buffer.h"

#include "GpuInfo.h"
#include "Image.h"
#include "VulkanCommon.h"

#include <cstring>
#include <stdexcept>

namespace {
const char* const tooLarge = "given data size is larger than allocated buffer memory size!";
}

Buffer::~Buffer()
{
    destroy();
}

void Buffer::create(const vk::Device& dev, const GpuInfo& gpuInfo, vk::BufferUsageFlags usage,
                    vk::MemoryPropertyFlags memoryProperties, vk::DeviceSize size)
{
    // A zero-sized buffer is invalid in Vulkan; callers skip empty data.
    if (size == 0) throw std::runtime_error("@Buffer::create: buffer size must not be zero");
    // What the buffer held goes first, on the device that made it.
    destroy();
    device = dev;
    requestedSize = size;

    buffer = device.createBuffer(vk::BufferCreateInfo({}, size, usage, vk::SharingMode::eExclusive));

    const vk::MemoryRequirements requirements = device.getBufferMemoryRequirements(buffer);
    allocationSize = requirements.size;
    const uint32_t typeIndex =
        findMemoryType(gpuInfo.memoryProperties, requirements.memoryTypeBits, memoryProperties);

    memory = device.allocateMemory(vk::MemoryAllocateInfo(allocationSize, typeIndex));
    device.bindBufferMemory(buffer, memory, 0);
}

void Buffer::copyFrom(const void* data, vk::DeviceSize size)
{
    if (size > allocationSize) throw std::runtime_error(tooLarge);
    void* target = device.mapMemory(memory, 0, allocationSize);
    std::memcpy(target, data, size);
    device.unmapMemory(memory);
}

void Buffer::appendMapped(const void* data, vk::DeviceSize size, void*& cursor, bool last)
{
    if (!cursor) {
        unmap();
        mapped = device.mapMemory(memory, 0, allocationSize);
        cursor = mapped;
    }
    const bool fits = mapped && [&] {
        const auto offset =
            static_cast<vk::DeviceSize>(static_cast<char*>(cursor) - static_cast<char*>(mapped));
        return offset <= allocationSize && size <= allocationSize - offset;
    }();
    if (!fits) {
        unmap();
        cursor = nullptr;
        throw std::runtime_error(tooLarge);
    }
    std::memcpy(cursor, data, size);
    if (last) {
        unmap();
        cursor = nullptr;
    } else {
        cursor = static_cast<char*>(cursor) + size;
    }
}

void Buffer::unmap()
{
    if (mapped) {
        device.unmapMemory(memory);
        mapped = nullptr;
    }
}

void Buffer::destroy()
{
    if (!device) return;
    unmap();
    releaseHandle(buffer, [&](vk::Buffer b) { device.destroyBuffer(b); });
    releaseHandle(memory, [&](vk::DeviceMemory m) { device.freeMemory(m); });
}
