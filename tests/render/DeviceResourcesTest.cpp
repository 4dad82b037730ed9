// Images, buffers, one-shot commands and shader modules on a real device
// (lavapipe here), without a window. The validation layer, enabled from the
// environment, reports misuse and leaks at device destruction.

#include "Buffer.h"
#include "Image.h"
#include "OneShotCommand.h"
#include "RenderTestSupport.h"
#include "ShaderModule.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

namespace {
const uint32_t minimalVertexShader[] =
#include "minimal.vert.inc"
    ;

using M = vk::MemoryPropertyFlagBits;
const vk::MemoryPropertyFlags hostMemory = M::eHostVisible | M::eHostCoherent;

class DeviceResources : public rendertest::HeadlessDevice {
protected:
    std::vector<uint8_t> readBuffer(Buffer& buffer, size_t size)
    {
        std::vector<uint8_t> bytes(size);
        void* p = device.mapMemory(buffer.memory, 0, VK_WHOLE_SIZE);
        std::memcpy(bytes.data(), p, size);
        device.unmapMemory(buffer.memory);
        return bytes;
    }
};
} // namespace

TEST_F(DeviceResources, ImageFilledPerLayerFromStagingBuffer)
{
    const uint32_t w = 4, h = 3, layers = 3;
    const size_t layerBytes = size_t(w) * h * 4;
    std::vector<uint8_t> texels(layerBytes * layers);
    std::iota(texels.begin(), texels.end(), uint8_t(1));

    // Layers stored in reverse order in the staging buffer: the offsets
    // decide which bytes land in which layer.
    Buffer staging;
    staging.create(device, gpuInfo, vk::BufferUsageFlagBits::eTransferSrc, hostMemory, texels.size());
    std::vector<uint8_t> reversed(texels.size());
    for (uint32_t l = 0; l < layers; ++l) {
        std::memcpy(reversed.data() + (layers - 1 - l) * layerBytes, texels.data() + l * layerBytes,
                    layerBytes);
    }
    staging.copyFrom(reversed.data(), reversed.size());

    Image image;
    image.create(device, gpuInfo,
                 vk::ImageUsageFlagBits::eTransferDst | vk::ImageUsageFlagBits::eTransferSrc |
                     vk::ImageUsageFlagBits::eSampled,
                 M::eDeviceLocal, vk::Extent3D(w, h, 1), vk::Format::eR8G8B8A8Unorm,
                 vk::ImageTiling::eOptimal, layers);
    EXPECT_GE(image.allocationSize, texels.size());
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.format, vk::Format::eR8G8B8A8Unorm);
    image.copyFromBuffer(staging.buffer, pool, family, {2 * layerBytes, layerBytes, 0});
    image.createView(vk::ImageAspectFlagBits::eColor, layers, true);
    image.createSampler(vk::Filter::eLinear, vk::Filter::eLinear);
    // Replacing view and sampler releases the old ones.
    image.createView(vk::ImageAspectFlagBits::eColor, layers, true);
    image.createSampler(vk::Filter::eNearest, vk::Filter::eNearest);

    Buffer readBack;
    readBack.create(device, gpuInfo, vk::BufferUsageFlagBits::eTransferDst, hostMemory, texels.size());
    OneShotCommand command{device, pool, family, nullptr};
    command.begin();
    image.transitionLayout(command.commandBuffer, vk::ImageLayout::eShaderReadOnlyOptimal,
                           vk::ImageLayout::eTransferSrcOptimal, vk::ImageAspectFlagBits::eColor, layers);
    command.commandBuffer.copyImageToBuffer(image.image, vk::ImageLayout::eTransferSrcOptimal,
                                            readBack.buffer,
                                            image.layerCopyRegions({0, layerBytes, 2 * layerBytes}));
    const vk::BufferMemoryBarrier toHost(vk::AccessFlagBits::eTransferWrite, vk::AccessFlagBits::eHostRead,
                                         VK_QUEUE_FAMILY_IGNORED, VK_QUEUE_FAMILY_IGNORED, readBack.buffer, 0,
                                         VK_WHOLE_SIZE);
    command.commandBuffer.pipelineBarrier(vk::PipelineStageFlagBits::eTransfer,
                                          vk::PipelineStageFlagBits::eHost, {}, {}, toHost, {});
    command.submitAndWait();
    command.free();
    command.free();
    EXPECT_EQ(readBuffer(readBack, texels.size()), texels);

    image.destroy();
    EXPECT_FALSE(image.image);
    EXPECT_FALSE(image.memory);
    EXPECT_FALSE(image.view);
    EXPECT_FALSE(image.sampler);
    EXPECT_EQ(image.width, w);
    image.destroy();
}

TEST_F(DeviceResources, ImageRecreatedAtAnotherSize)
{
    Image image;
    for (uint32_t size : {8u, 32u}) {
        image.create(device, gpuInfo, vk::ImageUsageFlagBits::eColorAttachment, M::eDeviceLocal,
                     vk::Extent3D(size, size, 1), vk::Format::eB8G8R8A8Unorm, vk::ImageTiling::eOptimal, 1);
        image.createView(vk::ImageAspectFlagBits::eColor, 1, false);
        EXPECT_EQ(image.width, size);
        EXPECT_GE(image.allocationSize, vk::DeviceSize(size) * size * 4);
    }
    // The destructor releases the second image.
}

TEST_F(DeviceResources, ImageWithoutFittingMemoryKeepsTheImageForDestroy)
{
    GpuInfo noMemory = gpuInfo;
    noMemory.memoryProperties.memoryTypeCount = 0;
    Image image;
    try {
        image.create(device, noMemory, vk::ImageUsageFlagBits::eSampled, M::eDeviceLocal,
                     vk::Extent3D(4, 4, 1), vk::Format::eR8G8B8A8Unorm, vk::ImageTiling::eOptimal, 1);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "failed to find suitable memory type!");
    }
    EXPECT_TRUE(image.image);
    image.destroy();
    EXPECT_FALSE(image.image);
}

TEST_F(DeviceResources, BufferCopyBounds)
{
    Buffer buffer;
    buffer.create(device, gpuInfo, vk::BufferUsageFlagBits::eUniformBuffer, hostMemory, 100);
    EXPECT_EQ(buffer.requestedSize, 100u);
    ASSERT_GE(buffer.allocationSize, 100u);

    std::vector<uint8_t> data(buffer.allocationSize + 1, 0xAB);
    EXPECT_NO_THROW(buffer.copyFrom(data.data(), buffer.allocationSize));
    try {
        buffer.copyFrom(data.data(), buffer.allocationSize + 1);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "given data size is larger than allocated buffer memory size!");
    }
    // Nothing was left mapped by the refusal: copying again maps afresh.
    EXPECT_NO_THROW(buffer.copyFrom(data.data(), 100));

    buffer.destroy();
    EXPECT_FALSE(buffer.buffer);
    EXPECT_FALSE(buffer.memory);
    buffer.destroy();

    Buffer never;
    never.destroy();
    EXPECT_THROW(buffer.create(device, gpuInfo, vk::BufferUsageFlagBits::eUniformBuffer, hostMemory, 0),
                 std::runtime_error);
}

TEST_F(DeviceResources, BufferAppendsPiecesUnderOneMapping)
{
    Buffer buffer;
    buffer.create(device, gpuInfo, vk::BufferUsageFlagBits::eVertexBuffer, hostMemory, 120);
    std::vector<uint8_t> a(20, 1), b(40, 2), c(60, 3);
    void* cursor = nullptr;
    buffer.appendMapped(a.data(), a.size(), cursor, false);
    buffer.appendMapped(b.data(), b.size(), cursor, false);
    buffer.appendMapped(c.data(), c.size(), cursor, true);
    EXPECT_EQ(cursor, nullptr);

    const std::vector<uint8_t> bytes = readBuffer(buffer, 120);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[19], 1);
    EXPECT_EQ(bytes[20], 2);
    EXPECT_EQ(bytes[59], 2);
    EXPECT_EQ(bytes[60], 3);
    EXPECT_EQ(bytes[119], 3);

    // A piece past the end is refused before it is written, and the memory
    // is unmapped so the buffer stays usable.
    const std::vector<uint8_t> big(buffer.allocationSize, 9);
    cursor = nullptr;
    buffer.appendMapped(a.data(), a.size(), cursor, false);
    EXPECT_THROW(buffer.appendMapped(big.data(), big.size(), cursor, true), std::runtime_error);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(readBuffer(buffer, 120)[20], 2);
}

TEST_F(DeviceResources, BufferRecreatedWithAnotherSize)
{
    Buffer buffer;
    buffer.create(device, gpuInfo, vk::BufferUsageFlagBits::eTransferSrc, hostMemory, 64);
    buffer.create(device, gpuInfo, vk::BufferUsageFlagBits::eTransferSrc, hostMemory, 4096);
    EXPECT_EQ(buffer.requestedSize, 4096u);
    EXPECT_GE(buffer.allocationSize, 4096u);
    EXPECT_TRUE(buffer.buffer);
    // A leaked first buffer would be reported by the validation layer.
}

TEST_F(DeviceResources, ShaderModuleOwnsItsModule)
{
    ShaderModule holder;
    holder.create(device, minimalVertexShader, sizeof(minimalVertexShader), vk::ShaderStageFlagBits::eVertex);
    ASSERT_TRUE(holder.module);
    EXPECT_EQ(holder.owner, device);
    // A second module replaces the first, which is destroyed.
    holder.create(device, minimalVertexShader, sizeof(minimalVertexShader), vk::ShaderStageFlagBits::eVertex);
    const vk::PipelineShaderStageCreateInfo stage = holder.stageInfo();
    EXPECT_EQ(stage.module, holder.module);
    EXPECT_EQ(stage.stage, vk::ShaderStageFlagBits::eVertex);
    EXPECT_STREQ(stage.pName, "main");

    ShaderModule moved(std::move(holder));
    EXPECT_FALSE(holder.module);
    EXPECT_TRUE(moved.module);
}
