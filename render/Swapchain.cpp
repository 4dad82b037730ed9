#include "Swapchain.h"

#include "GpuInfo.h"
#include "VulkanCommon.h"

#include <algorithm>
#include <stdexcept>

namespace {
constexpr uint32_t extentFromSwapchain = 0xFFFFFFFF;
}

void SwapchainSupport::query(vk::PhysicalDevice physicalDevice, vk::SurfaceKHR surface)
{
    queryCapabilities(physicalDevice, surface);
    const VkPhysicalDevice pd = physicalDevice;
    const VkSurfaceKHR sf = surface;
    formats = enumerateTwoCall<vk::SurfaceFormatKHR>(
        [pd, sf](uint32_t* count, vk::SurfaceFormatKHR* data) {
            return vkGetPhysicalDeviceSurfaceFormatsKHR(pd, sf, count,
                                                        reinterpret_cast<VkSurfaceFormatKHR*>(data));
        },
        "vk::PhysicalDevice::getSurfaceFormatsKHR");
    presentModes = enumerateTwoCall<vk::PresentModeKHR>(
        [pd, sf](uint32_t* count, vk::PresentModeKHR* data) {
            return vkGetPhysicalDeviceSurfacePresentModesKHR(pd, sf, count,
                                                             reinterpret_cast<VkPresentModeKHR*>(data));
        },
        "vk::PhysicalDevice::getSurfacePresentModesKHR");
}

void SwapchainSupport::queryCapabilities(vk::PhysicalDevice physicalDevice, vk::SurfaceKHR surface)
{
    capabilities = physicalDevice.getSurfaceCapabilitiesKHR(surface);
}

vk::SurfaceFormatKHR chooseSurfaceFormat(const std::vector<vk::SurfaceFormatKHR>& formats)
{
    // A surface must report at least one format; treat none like "any".
    if (formats.empty()) return {vk::Format::eB8G8R8A8Unorm, vk::ColorSpaceKHR::eSrgbNonlinear};
    if (formats.front().format == vk::Format::eUndefined) {
        return {vk::Format::eB8G8R8A8Unorm, formats.front().colorSpace};
    }
    if (formats.front().format == vk::Format::eB8G8R8A8Unorm) return formats.front();
    const vk::SurfaceFormatKHR* chosen = &formats.front();
    for (const auto& format : formats) {
        if (format.format == vk::Format::eB8G8R8A8Unorm) chosen = &format;
    }
    return *chosen;
}

vk::PresentModeKHR choosePresentMode(const std::vector<vk::PresentModeKHR>& modes)
{
    for (vk::PresentModeKHR preferred : {vk::PresentModeKHR::eMailbox, vk::PresentModeKHR::eImmediate,
                                         vk::PresentModeKHR::eFifoRelaxed, vk::PresentModeKHR::eFifo}) {
        if (std::find(modes.begin(), modes.end(), preferred) != modes.end()) return preferred;
    }
    return vk::PresentModeKHR::eFifo;
}

uint32_t chooseImageCount(const vk::SurfaceCapabilitiesKHR& capabilities)
{
    uint32_t count = capabilities.minImageCount + 1;
    if (capabilities.maxImageCount != 0 && capabilities.maxImageCount < count) {
        count = capabilities.maxImageCount;
    }
    return count;
}

vk::Extent2D chooseExtent(const vk::SurfaceCapabilitiesKHR& capabilities, uint32_t width, uint32_t height)
{
    if (capabilities.currentExtent.width != extentFromSwapchain) return capabilities.currentExtent;
    return {std::clamp(width, capabilities.minImageExtent.width, capabilities.maxImageExtent.width),
            std::clamp(height, capabilities.minImageExtent.height, capabilities.maxImageExtent.height)};
}

vk::SurfaceTransformFlagBitsKHR choosePreTransform(const vk::SurfaceCapabilitiesKHR& capabilities)
{
    if (capabilities.supportedTransforms & vk::SurfaceTransformFlagBitsKHR::eIdentity) {
        return vk::SurfaceTransformFlagBitsKHR::eIdentity;
    }
    return capabilities.currentTransform;
}

vk::CompositeAlphaFlagBitsKHR chooseCompositeAlpha(const vk::SurfaceCapabilitiesKHR& capabilities)
{
    const auto supported = static_cast<uint32_t>(capabilities.supportedCompositeAlpha);
    if (supported == 0 || (supported & VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR)) {
        return vk::CompositeAlphaFlagBitsKHR::eOpaque;
    }
    return static_cast<vk::CompositeAlphaFlagBitsKHR>(supported & (~supported + 1));
}

vk::Format chooseDepthFormat(bool wantStencil, const std::function<bool(vk::Format)>& isDepthAttachment)
{
    static const std::vector<vk::Format> withStencil = {
        vk::Format::eD32SfloatS8Uint, vk::Format::eD24UnormS8Uint, vk::Format::eD16UnormS8Uint};
    static const std::vector<vk::Format> withoutStencil = {vk::Format::eD32Sfloat, vk::Format::eD16Unorm};
    for (vk::Format format : wantStencil ? withStencil : withoutStencil) {
        if (isDepthAttachment(format)) return format;
    }
    throw std::runtime_error("failed to find a suitable depth format!");
}

Swapchain::~Swapchain()
{
    destroy();
}

void Swapchain::init(vk::PhysicalDevice pd, const GpuInfo* info, vk::Device dev, vk::SurfaceKHR sf,
                     bool stencil)
{
    physicalDevice = pd;
    gpuInfo = info;
    device = dev;
    surface = sf;
    support.query(physicalDevice, surface);
    wantStencil = stencil;

    depthFormat = chooseDepthFormat(wantStencil, [this](vk::Format format) {
        return static_cast<bool>(physicalDevice.getFormatProperties(format).optimalTilingFeatures &
                                 vk::FormatFeatureFlagBits::eDepthStencilAttachment);
    });

    support.queryCapabilities(physicalDevice, surface);
    const vk::SurfaceCapabilitiesKHR& caps = support.capabilities;
    sizeFromWindow = caps.currentExtent.width == extentFromSwapchain;
    if (sizeFromWindow) {
        width = caps.minImageExtent.width;
        height = caps.minImageExtent.height;
    } else {
        width = caps.currentExtent.width;
        height = caps.currentExtent.height;
    }

    imageCount = chooseImageCount(caps);
    const vk::SurfaceFormatKHR surfaceFormat = chooseSurfaceFormat(support.formats);
    colorFormat = surfaceFormat.format;
    colorSpace = surfaceFormat.colorSpace;

    createInfo = vk::SwapchainCreateInfoKHR();
    createInfo.surface = surface;
    createInfo.minImageCount = imageCount;
    createInfo.imageFormat = colorFormat;
    createInfo.imageColorSpace = colorSpace;
    createInfo.imageExtent = vk::Extent2D(width, height);
    createInfo.imageArrayLayers = 1;
    createInfo.imageUsage = vk::ImageUsageFlagBits::eColorAttachment;
    if (gpuInfo->graphicsFamily == gpuInfo->presentFamily) {
        createInfo.imageSharingMode = vk::SharingMode::eExclusive;
        createInfo.queueFamilyIndexCount = 0;
        createInfo.pQueueFamilyIndices = nullptr;
    } else {
        sharingFamilies[0] = static_cast<uint32_t>(gpuInfo->graphicsFamily);
        sharingFamilies[1] = static_cast<uint32_t>(gpuInfo->presentFamily);
        createInfo.imageSharingMode = vk::SharingMode::eConcurrent;
        createInfo.queueFamilyIndexCount = 2;
        createInfo.pQueueFamilyIndices = sharingFamilies;
    }
    createInfo.preTransform = choosePreTransform(caps);
    createInfo.compositeAlpha = chooseCompositeAlpha(caps);
    createInfo.presentMode = choosePresentMode(support.presentModes);
    createInfo.clipped = VK_TRUE;
    createInfo.oldSwapchain = nullptr;
}

void Swapchain::create(uint32_t requestedWidth, uint32_t requestedHeight)
{
    vk::SwapchainKHR created;
    if (!swapchain) {
        // A surface that leaves the size to us gets the window's size, not
        // its minimum, whenever the caller knows it.
        if (sizeFromWindow && requestedWidth > 0 && requestedHeight > 0) {
            const vk::Extent2D extent = chooseExtent(support.capabilities, requestedWidth, requestedHeight);
            width = extent.width;
            height = extent.height;
            createInfo.imageExtent = extent;
        }
        created = device.createSwapchainKHR(createInfo);
    } else {
        support.queryCapabilities(physicalDevice, surface);
        const vk::Extent2D extent = chooseExtent(support.capabilities, requestedWidth, requestedHeight);
        width = extent.width;
        height = extent.height;
        createInfo.imageExtent = extent;
        createInfo.oldSwapchain = swapchain;
        try {
            created = device.createSwapchainKHR(createInfo);
        } catch (...) {
            createInfo.oldSwapchain = nullptr;
            throw;
        }
        createInfo.oldSwapchain = nullptr;
        destroy();
    }
    swapchain = created;

    const VkDevice dev = device;
    const VkSwapchainKHR sc = swapchain;
    images = enumerateTwoCall<vk::Image>(
        [dev, sc](uint32_t* count, vk::Image* data) {
            return vkGetSwapchainImagesKHR(dev, sc, count, reinterpret_cast<VkImage*>(data));
        },
        "vk::Device::getSwapchainImagesKHR");
    imageCount = static_cast<uint32_t>(images.size());

    for (vk::Image image : images) {
        const vk::ImageViewCreateInfo viewInfo(
            {}, image, vk::ImageViewType::e2D, colorFormat, {},
            vk::ImageSubresourceRange(vk::ImageAspectFlagBits::eColor, 0, 1, 0, 1));
        imageViews.push_back(device.createImageView(viewInfo));
    }
}

void Swapchain::destroy()
{
    for (vk::ImageView view : imageViews) {
        if (view) device.destroyImageView(view);
    }
    imageViews.clear();
    releaseHandle(swapchain, [&](vk::SwapchainKHR s) { device.destroySwapchainKHR(s); });
}
