// The renderer's rules that need no device: layout table, memory-type search,
// queue families, GPU choice, name lists, swapchain choices, list reads.

#include "GpuInfo.h"
#include "Image.h"
#include "RenderTestSupport.h"
#include "Screenshot.h"
#include "Swapchain.h"
#include "VulkanCommon.h"
#include "VulkanInstance.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

using rendertest::clearLog;
using rendertest::logText;
using L = vk::ImageLayout;
using S = vk::PipelineStageFlagBits;
using A = vk::AccessFlagBits;

namespace {
std::string refusal(L oldLayout, L newLayout)
{
    try {
        Image::GetAccessMasks(oldLayout, newLayout);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "";
}
} // namespace

TEST(ImageAccessMasks, TableOfSupportedTransitions)
{
    auto m = Image::GetAccessMasks(L::eUndefined, L::eTransferDstOptimal);
    EXPECT_EQ(m.srcAccess, vk::AccessFlags());
    EXPECT_EQ(m.srcStage, vk::PipelineStageFlags(S::eTopOfPipe));
    EXPECT_EQ(m.dstAccess, vk::AccessFlags(A::eTransferWrite));
    EXPECT_EQ(m.dstStage, vk::PipelineStageFlags(S::eTransfer));

    m = Image::GetAccessMasks(L::eUndefined, L::eDepthStencilAttachmentOptimal);
    EXPECT_EQ(m.dstAccess, A::eDepthStencilAttachmentRead | A::eDepthStencilAttachmentWrite);
    EXPECT_EQ(m.dstStage, S::eEarlyFragmentTests | S::eLateFragmentTests);

    m = Image::GetAccessMasks(L::eColorAttachmentOptimal, L::eTransferSrcOptimal);
    EXPECT_EQ(m.srcAccess, vk::AccessFlags(A::eColorAttachmentWrite));
    EXPECT_EQ(m.srcStage, vk::PipelineStageFlags(S::eColorAttachmentOutput));
    EXPECT_EQ(m.dstAccess, vk::AccessFlags(A::eTransferRead));

    m = Image::GetAccessMasks(L::eTransferSrcOptimal, L::eColorAttachmentOptimal);
    EXPECT_EQ(m.dstAccess, A::eColorAttachmentRead | A::eColorAttachmentWrite);
    EXPECT_EQ(m.dstStage, vk::PipelineStageFlags(S::eColorAttachmentOutput));

    m = Image::GetAccessMasks(L::ePreinitialized, L::eTransferSrcOptimal);
    EXPECT_EQ(m.srcAccess, vk::AccessFlags(A::eHostWrite));
    EXPECT_EQ(m.srcStage, vk::PipelineStageFlags(S::eHost));

    m = Image::GetAccessMasks(L::eDepthStencilAttachmentOptimal, L::eShaderReadOnlyOptimal);
    EXPECT_EQ(m.srcAccess, vk::AccessFlags(A::eDepthStencilAttachmentWrite));
}

TEST(ImageAccessMasks, GeneralAfterTransferWriteKeepsTheTransferStage)
{
    const auto m = Image::GetAccessMasks(L::eTransferDstOptimal, L::eGeneral);
    EXPECT_EQ(m.srcAccess, vk::AccessFlags(A::eTransferWrite));
    EXPECT_EQ(m.dstAccess, vk::AccessFlags(A::eMemoryRead));
    EXPECT_EQ(m.srcStage, vk::PipelineStageFlags(S::eTransfer));
    EXPECT_EQ(m.dstStage, vk::PipelineStageFlags(S::eTransfer));
}

TEST(ImageAccessMasks, SampledImagesAreCoveredInFragmentShaders)
{
    // Textures and offscreen images are read by fragment shaders.
    const auto in = Image::GetAccessMasks(L::eTransferDstOptimal, L::eShaderReadOnlyOptimal);
    EXPECT_EQ(in.dstAccess, vk::AccessFlags(A::eShaderRead));
    EXPECT_TRUE(in.dstStage & S::eFragmentShader);
    EXPECT_TRUE(in.dstStage & S::eVertexShader);
    const auto out = Image::GetAccessMasks(L::eShaderReadOnlyOptimal, L::eColorAttachmentOptimal);
    EXPECT_EQ(out.srcAccess, vk::AccessFlags(A::eShaderRead));
    EXPECT_TRUE(out.srcStage & S::eFragmentShader);
    EXPECT_TRUE(out.srcStage & S::eComputeShader);
}

TEST(ImageAccessMasks, UnsupportedLayoutsAreRefusedByName)
{
    EXPECT_EQ(refusal(L::eGeneral, L::eTransferDstOptimal),
              "@Image::GetAccessMasks: unsupported old image layout : General");
    EXPECT_EQ(refusal(L::ePresentSrcKHR, L::eTransferDstOptimal),
              "@Image::GetAccessMasks: unsupported old image layout : PresentSrcKHR");
    EXPECT_EQ(refusal(L::eDepthStencilReadOnlyOptimal, L::eGeneral),
              "@Image::GetAccessMasks: unsupported old image layout : DepthStencilReadOnlyOptimal");
    EXPECT_EQ(refusal(L::eUndefined, L::eUndefined),
              "@Image::GetAccessMasks: unsupported new image layout : Undefined");
    EXPECT_EQ(refusal(L::eTransferDstOptimal, L::ePresentSrcKHR),
              "@Image::GetAccessMasks: unsupported new image layout : PresentSrcKHR");
    EXPECT_EQ(refusal(L::eTransferDstOptimal, L::ePreinitialized),
              "@Image::GetAccessMasks: unsupported new image layout : Preinitialized");
    // The old layout is examined first.
    EXPECT_EQ(refusal(L::eGeneral, L::eUndefined),
              "@Image::GetAccessMasks: unsupported old image layout : General");
}

TEST(Image, CopyRegionsOnePerLayer)
{
    Image image;
    image.width = 8;
    image.height = 4;
    image.depth = 1;
    const std::vector<vk::DeviceSize> offsets = {0, 128, 256, 384, 512, 640};
    const auto regions = image.layerCopyRegions(offsets);
    ASSERT_EQ(regions.size(), 6u);
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(regions[i].bufferOffset, offsets[i]);
        EXPECT_EQ(regions[i].bufferRowLength, 0u);
        EXPECT_EQ(regions[i].bufferImageHeight, 0u);
        EXPECT_EQ(regions[i].imageSubresource.baseArrayLayer, i);
        EXPECT_EQ(regions[i].imageSubresource.layerCount, 1u);
        EXPECT_EQ(regions[i].imageSubresource.mipLevel, 0u);
        EXPECT_EQ(regions[i].imageExtent, vk::Extent3D(8, 4, 1));
    }
    // A record that never held anything releases nothing.
    image.destroy();
    image.destroy();
}

TEST(MemoryTypeSearch, LowestFittingAllowedTypeWins)
{
    using M = vk::MemoryPropertyFlagBits;
    vk::PhysicalDeviceMemoryProperties props;
    props.memoryTypeCount = 4;
    props.memoryTypes[0].propertyFlags = M::eDeviceLocal;
    props.memoryTypes[1].propertyFlags = M::eHostVisible | M::eHostCoherent;
    props.memoryTypes[2].propertyFlags = M::eHostVisible;
    props.memoryTypes[3].propertyFlags = M::eDeviceLocal | M::eHostVisible | M::eHostCoherent;

    // A superset of the requested flags is accepted.
    EXPECT_EQ(findMemoryType(props, 0xF, M::eHostVisible), 1u);
    EXPECT_EQ(findMemoryType(props, 0xF, M::eDeviceLocal), 0u);
    // Only types the resource allows count.
    EXPECT_EQ(findMemoryType(props, 0b1100, M::eHostVisible), 2u);
    EXPECT_EQ(findMemoryType(props, 0b1010, M::eDeviceLocal), 3u);
    EXPECT_EQ(findMemoryType(props, 0xF, {}), 0u);

    try {
        findMemoryType(props, 0b0110, M::eDeviceLocal);
        FAIL() << "no type fits";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "failed to find suitable memory type!");
    }
    // Bits past the reported types never match.
    EXPECT_THROW(findMemoryType(props, 0xF0, {}), std::runtime_error);
    props.memoryTypeCount = 0;
    EXPECT_THROW(findMemoryType(props, 0xFFFFFFFF, {}), std::runtime_error);
}

namespace {
GpuInfo withFamilies(std::initializer_list<vk::QueueFlags> flags)
{
    GpuInfo info;
    for (vk::QueueFlags f : flags) {
        vk::QueueFamilyProperties family;
        family.queueFlags = f;
        family.queueCount = 1;
        info.queueFamilies.push_back(family);
    }
    return info;
}
using Q = vk::QueueFlagBits;
} // namespace

TEST(QueueFamilies, DedicatedFamilyPreferredElseFirstCapable)
{
    const GpuInfo universal = withFamilies({Q::eGraphics | Q::eCompute | Q::eTransfer});
    EXPECT_EQ(universal.findQueueFamily(1), 0);
    EXPECT_EQ(universal.findQueueFamily(2), 0);
    EXPECT_EQ(universal.findQueueFamily(4), 0);

    const GpuInfo discrete = withFamilies({Q::eGraphics | Q::eCompute | Q::eTransfer,
                                           Q::eCompute | Q::eTransfer, Q::eTransfer | Q::eSparseBinding});
    EXPECT_EQ(discrete.findQueueFamily(1), 0);
    EXPECT_EQ(discrete.findQueueFamily(4), 2); // sparse binding is ignored
    EXPECT_EQ(discrete.findQueueFamily(2), 0); // no compute-only family

    const GpuInfo graphicsOnly = withFamilies({Q::eGraphics | Q::eTransfer, Q::eGraphics});
    EXPECT_EQ(graphicsOnly.findQueueFamily(1), 1);

    const GpuInfo none = withFamilies({Q::eTransfer});
    EXPECT_EQ(none.findQueueFamily(1), -1);
    EXPECT_EQ(GpuInfo().findQueueFamily(4), -1);
    EXPECT_EQ(GpuInfo().findPresentQueueFamily(nullptr, nullptr), -1);
}

TEST(QueueFamilies, OneQueueRequestPerDistinctFamilyAscending)
{
    GpuInfo info;
    info.graphicsFamily = info.presentFamily = info.transferFamily = 0;
    EXPECT_EQ(deviceQueueFamilies(info), std::vector<uint32_t>({0}));
    info.transferFamily = 1;
    EXPECT_EQ(deviceQueueFamilies(info), std::vector<uint32_t>({0, 1}));
    info.graphicsFamily = 2;
    info.presentFamily = 0;
    info.transferFamily = 0;
    EXPECT_EQ(deviceQueueFamilies(info), std::vector<uint32_t>({0, 2}));
}

TEST(GpuSelection, IndexFromSetting)
{
    EXPECT_EQ(gpuSelectIndex(3, 0), 0u);
    EXPECT_EQ(gpuSelectIndex(3, 1), 1u);
    EXPECT_EQ(gpuSelectIndex(3, 2), 2u);
    EXPECT_EQ(gpuSelectIndex(3, 3), 2u);
    EXPECT_EQ(gpuSelectIndex(3, 7), 2u);
    EXPECT_EQ(gpuSelectIndex(3, -1), 2u);
    EXPECT_EQ(gpuSelectIndex(2, INT32_MIN), 1u);
}

namespace {
vk::PhysicalDevice fakeDevice(uintptr_t id)
{
    return vk::PhysicalDevice(reinterpret_cast<VkPhysicalDevice>(id));
}

// A description of a capable GPU named after its handle.
void describe(vk::PhysicalDevice device, GpuInfo& info)
{
    info = GpuInfo();
    const std::string name =
        "gpu" + std::to_string(reinterpret_cast<uintptr_t>(static_cast<VkPhysicalDevice>(device)));
    std::strncpy(info.properties.deviceName.data(), name.c_str(), VK_MAX_PHYSICAL_DEVICE_NAME_SIZE - 1);
    info.features.geometryShader = info.features.fillModeNonSolid = VK_TRUE;
    info.features.wideLines = info.features.samplerAnisotropy = VK_TRUE;
    info.graphicsFamily = info.computeFamily = info.transferFamily = info.presentFamily = 0;
    vk::ExtensionProperties swapchain;
    std::strcpy(swapchain.extensionName.data(), "VK_KHR_swapchain");
    info.extensions = {swapchain};
}

std::string selectionFailure(const std::vector<vk::PhysicalDevice>& devices, int32_t idx,
                             const std::function<void(vk::PhysicalDevice, GpuInfo&)>& query)
{
    GpuInfo info;
    try {
        selectGpu(devices, idx, info, query);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}
} // namespace

TEST(GpuSelection, ConfiguredDeviceIsTakenAndLogged)
{
    const std::vector<vk::PhysicalDevice> three = {fakeDevice(1), fakeDevice(2), fakeDevice(3)};
    GpuInfo info;
    clearLog();
    EXPECT_EQ(selectGpu(three, 1, info, describe), fakeDevice(2));
    EXPECT_EQ(logText(), "info Found 3 physical device(s)\n"
                         "info Selected GPU device: gpu2\n"
                         "debug GPU queue info: queue family index: graphic = 0 | compute = 0 | "
                         "transfer = 0 | presenting = 0\n");
    EXPECT_EQ(selectGpu(three, 3, info, describe), fakeDevice(3));
    EXPECT_EQ(selectGpu(three, -1, info, describe), fakeDevice(3));

    clearLog();
    EXPECT_EQ(selectGpu({fakeDevice(9)}, 5, info, describe), fakeDevice(9));
    EXPECT_EQ(logText().find("Found"), std::string::npos);
    EXPECT_STREQ(info.properties.deviceName.data(), "gpu9");
}

TEST(GpuSelection, IncapableChosenDeviceIsRefusedWithoutTryingOthers)
{
    const std::vector<vk::PhysicalDevice> two = {fakeDevice(1), fakeDevice(2)};
    std::vector<vk::PhysicalDevice> queried;
    auto noWideLinesOnFirst = [&](vk::PhysicalDevice device, GpuInfo& info) {
        queried.push_back(device);
        describe(device, info);
        if (device == fakeDevice(1)) info.features.wideLines = VK_FALSE;
    };
    clearLog();
    EXPECT_EQ(selectionFailure(two, 0, noWideLinesOnFirst), "@selectGpu");
    EXPECT_EQ(queried, std::vector<vk::PhysicalDevice>({fakeDevice(1)}));
    EXPECT_NE(logText().find("critical GPU device <gpu1> is not capable of running this program!\n"),
              std::string::npos)
        << logText();
    EXPECT_EQ(logText().find("Selected"), std::string::npos);

    auto broken = [](std::function<void(GpuInfo&)> breakIt) {
        return [breakIt](vk::PhysicalDevice device, GpuInfo& info) {
            describe(device, info);
            breakIt(info);
        };
    };
    EXPECT_EQ(selectionFailure(two, 1, broken([](GpuInfo& i) { i.features.geometryShader = 0; })),
              "@selectGpu");
    EXPECT_EQ(selectionFailure(two, 1, broken([](GpuInfo& i) { i.features.fillModeNonSolid = 0; })),
              "@selectGpu");
    EXPECT_EQ(selectionFailure(two, 1, broken([](GpuInfo& i) { i.features.samplerAnisotropy = 0; })),
              "@selectGpu");
    EXPECT_EQ(selectionFailure(two, 1, broken([](GpuInfo& i) { i.presentFamily = -1; })), "@selectGpu");
    EXPECT_EQ(selectionFailure(two, 1, broken([](GpuInfo& i) { i.transferFamily = -1; })), "@selectGpu");
    EXPECT_EQ(selectionFailure(two, 1, broken([](GpuInfo& i) { i.extensions.clear(); })), "@selectGpu");
    // Compute is not required.
    EXPECT_EQ(selectionFailure(two, 1, broken([](GpuInfo& i) { i.computeFamily = -1; })), "");

    clearLog();
    EXPECT_EQ(selectionFailure({}, 0, describe), "@selectGpu");
    EXPECT_EQ(logText(), "critical failed to find any physical device (GPU)!\n");
}

namespace {
std::vector<vk::ExtensionProperties> offered(std::initializer_list<const char*> names)
{
    std::vector<vk::ExtensionProperties> list;
    for (const char* name : names) {
        vk::ExtensionProperties e;
        std::strcpy(e.extensionName.data(), name);
        list.push_back(e);
    }
    return list;
}
} // namespace

TEST(NameLists, RequiredInstanceExtensionsMustBeOffered)
{
    clearLog();
    EXPECT_NO_THROW(checkInstanceExtensions({"VK_KHR_surface", "VK_KHR_xcb_surface"},
                                            offered({"VK_KHR_xcb_surface", "VK_KHR_surface"})));
    clearLog();
    try {
        checkInstanceExtensions({"VK_KHR_surface", "VK_KHR_xlib_surface", "VK_KHR_wayland_surface"},
                                offered({"VK_KHR_surface", "VK_KHR_xlib_surface_extra"}));
        FAIL() << "a missing extension must be refused";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "@GetRequiredInsExtns");
    }
    // Offered names first, then one line for the first missing one; whole
    // names are compared, so a longer name does not count as a match.
    EXPECT_EQ(logText(), "debug instance extension found: VK_KHR_surface\n"
                         "debug instance extension found: VK_KHR_xlib_surface_extra\n"
                         "critical extension VK_KHR_xlib_surface requested, but not available!\n");

    EXPECT_TRUE(GetRequiredLayers(true).empty());
    EXPECT_TRUE(GetRequiredLayers(false).empty());
    EXPECT_EQ(GetRequiredDeviceExtns(), std::vector<std::string>({"VK_KHR_swapchain"}));
}

TEST(TwoCallEnumeration, RepeatsWhileIncompleteAndTrims)
{
    // The list grows between the count and the fetch, or shrinks.
    std::vector<std::vector<int>> answers;
    size_t call = 0;
    answers = {{1, 2}, {1, 2, 3, 4}};
    // count 2, fetch sees 4 (incomplete); count 4, fetch 4.
    auto grown = [&](uint32_t* count, int* data) -> VkResult {
        const std::vector<int>& now = call == 0 ? answers[0] : answers[1];
        ++call;
        if (!data) {
            *count = static_cast<uint32_t>(now.size());
            return VK_SUCCESS;
        }
        const uint32_t n = std::min<uint32_t>(*count, static_cast<uint32_t>(now.size()));
        std::copy(now.begin(), now.begin() + n, data);
        *count = n;
        return n < now.size() ? VK_INCOMPLETE : VK_SUCCESS;
    };
    EXPECT_EQ(enumerateTwoCall<int>(grown, "grown"), std::vector<int>({1, 2, 3, 4}));
    EXPECT_EQ(call, 4u);

    answers = {{5, 6, 7}, {5}};
    call = 0;
    EXPECT_EQ(enumerateTwoCall<int>(grown, "shrunk"), std::vector<int>({5}));

    EXPECT_TRUE(enumerateTwoCall<int>(
                    [](uint32_t* count, int*) {
                        *count = 0;
                        return VK_SUCCESS;
                    },
                    "empty")
                    .empty());
    try {
        enumerateTwoCall<int>([](uint32_t*, int*) { return VK_ERROR_INITIALIZATION_FAILED; },
                              "vk::Instance::enumeratePhysicalDevices");
        FAIL();
    } catch (const vk::SystemError& e) {
        EXPECT_NE(std::string(e.what()).find("vk::Instance::enumeratePhysicalDevices"), std::string::npos);
        EXPECT_EQ(e.code(), vk::Result::eErrorInitializationFailed);
    }
}

TEST(SwapchainChoices, SurfaceFormat)
{
    using F = vk::Format;
    using C = vk::ColorSpaceKHR;
    const std::vector<vk::SurfaceFormatKHR> mixed = {{F::eB8G8R8A8Srgb, C::eSrgbNonlinear},
                                                     {F::eB8G8R8A8Unorm, C::eSrgbNonlinear},
                                                     {F::eR8G8B8A8Unorm, C::eSrgbNonlinear},
                                                     {F::eB8G8R8A8Unorm, C::eExtendedSrgbLinearEXT}};
    EXPECT_EQ(chooseSurfaceFormat(mixed), vk::SurfaceFormatKHR(F::eB8G8R8A8Unorm, C::eExtendedSrgbLinearEXT));
    EXPECT_EQ(chooseSurfaceFormat({{F::eUndefined, C::eDisplayP3NonlinearEXT}}),
              vk::SurfaceFormatKHR(F::eB8G8R8A8Unorm, C::eDisplayP3NonlinearEXT));
    EXPECT_EQ(
        chooseSurfaceFormat({{F::eR8G8B8A8Unorm, C::eSrgbNonlinear}, {F::eR8G8B8A8Srgb, C::eSrgbNonlinear}}),
        vk::SurfaceFormatKHR(F::eR8G8B8A8Unorm, C::eSrgbNonlinear));
    EXPECT_EQ(chooseSurfaceFormat(
                  {{F::eB8G8R8A8Unorm, C::eHdr10St2084EXT}, {F::eB8G8R8A8Unorm, C::eSrgbNonlinear}}),
              vk::SurfaceFormatKHR(F::eB8G8R8A8Unorm, C::eHdr10St2084EXT));
}

TEST(SwapchainChoices, PresentModeAndImageCount)
{
    using P = vk::PresentModeKHR;
    EXPECT_EQ(choosePresentMode({P::eFifo, P::eMailbox}), P::eMailbox);
    EXPECT_EQ(choosePresentMode({P::eFifoRelaxed, P::eFifo}), P::eFifoRelaxed);
    EXPECT_EQ(choosePresentMode({P::eFifo, P::eImmediate}), P::eImmediate);
    EXPECT_EQ(choosePresentMode({P::eFifo}), P::eFifo);
    EXPECT_EQ(choosePresentMode({}), P::eFifo);

    vk::SurfaceCapabilitiesKHR caps;
    caps.minImageCount = 2;
    caps.maxImageCount = 0;
    EXPECT_EQ(chooseImageCount(caps), 3u);
    caps.minImageCount = 3;
    caps.maxImageCount = 3;
    EXPECT_EQ(chooseImageCount(caps), 3u);
}

TEST(SwapchainChoices, ExtentTransformAndAlpha)
{
    vk::SurfaceCapabilitiesKHR caps;
    caps.currentExtent = vk::Extent2D(800, 600);
    EXPECT_EQ(chooseExtent(caps, 5000, 20), vk::Extent2D(800, 600));
    caps.currentExtent = vk::Extent2D(0xFFFFFFFF, 0xFFFFFFFF);
    caps.minImageExtent = vk::Extent2D(1, 1);
    caps.maxImageExtent = vk::Extent2D(4096, 4096);
    EXPECT_EQ(chooseExtent(caps, 5000, 20), vk::Extent2D(4096, 20));
    EXPECT_EQ(chooseExtent(caps, 0, 7000), vk::Extent2D(1, 4096));

    using T = vk::SurfaceTransformFlagBitsKHR;
    caps.supportedTransforms = T::eIdentity | T::eRotate90;
    caps.currentTransform = T::eRotate90;
    EXPECT_EQ(choosePreTransform(caps), T::eIdentity);
    caps.supportedTransforms = T::eRotate90;
    EXPECT_EQ(choosePreTransform(caps), T::eRotate90);

    using CA = vk::CompositeAlphaFlagBitsKHR;
    caps.supportedCompositeAlpha = CA::eOpaque | CA::eInherit;
    EXPECT_EQ(chooseCompositeAlpha(caps), CA::eOpaque);
    caps.supportedCompositeAlpha = CA::ePostMultiplied | CA::eInherit;
    EXPECT_EQ(chooseCompositeAlpha(caps), CA::ePostMultiplied);
}

TEST(SwapchainChoices, DepthFormat)
{
    using F = vk::Format;
    EXPECT_EQ(chooseDepthFormat(false, [](F) { return true; }), F::eD32Sfloat);
    EXPECT_EQ(chooseDepthFormat(false, [](F f) { return f == F::eD16Unorm; }), F::eD16Unorm);
    EXPECT_EQ(chooseDepthFormat(true, [](F f) { return f != F::eD32SfloatS8Uint; }), F::eD24UnormS8Uint);
    try {
        chooseDepthFormat(false, [](F f) { return f == F::eD24UnormS8Uint; });
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "failed to find a suitable depth format!");
    }
}

TEST(Screenshot, RedBlueSwapOnlyForRawCopiesOfBgra)
{
    using F = vk::Format;
    for (F f : {F::eB8G8R8A8Unorm, F::eB8G8R8A8Snorm, F::eB8G8R8A8Uscaled, F::eB8G8R8A8Sscaled,
                F::eB8G8R8A8Uint, F::eB8G8R8A8Sint, F::eB8G8R8A8Srgb}) {
        EXPECT_TRUE(screenshotSwapsRedBlue(false, f)) << vk::to_string(f);
        EXPECT_FALSE(screenshotSwapsRedBlue(true, f)) << vk::to_string(f);
    }
    EXPECT_FALSE(screenshotSwapsRedBlue(false, F::eR8G8B8A8Unorm));
    EXPECT_FALSE(screenshotSwapsRedBlue(false, F::eA2B10G10R10UnormPack32));
}
