#pragma once
// The presentation swapchain of the window surface: the choices fixed for
// the whole run (formats, present mode, image count, transform, sharing),
// the swapchain with one colour view per image, and its rebuild for a new
// window size. Lives inside the swapchain context; main thread only.

#include <vulkan/vulkan.hpp>

#include <cstdint>
#include <functional>
#include <vector>

struct GpuInfo;

struct SwapchainSupport {
    vk::SurfaceCapabilitiesKHR capabilities;
    std::vector<vk::SurfaceFormatKHR> formats;
    std::vector<vk::PresentModeKHR> presentModes;

    void query(vk::PhysicalDevice physicalDevice, vk::SurfaceKHR surface);
    void queryCapabilities(vk::PhysicalDevice physicalDevice, vk::SurfaceKHR surface);
};

// The choices, apart from the device so that they can be checked alone.
vk::SurfaceFormatKHR chooseSurfaceFormat(const std::vector<vk::SurfaceFormatKHR>& formats);
vk::PresentModeKHR choosePresentMode(const std::vector<vk::PresentModeKHR>& modes);
uint32_t chooseImageCount(const vk::SurfaceCapabilitiesKHR& capabilities);
// The surface's current extent, or the requested size clamped to the
// surface's limits when the surface leaves the size to the swapchain.
vk::Extent2D chooseExtent(const vk::SurfaceCapabilitiesKHR& capabilities, uint32_t width, uint32_t height);
vk::SurfaceTransformFlagBitsKHR choosePreTransform(const vk::SurfaceCapabilitiesKHR& capabilities);
vk::CompositeAlphaFlagBitsKHR chooseCompositeAlpha(const vk::SurfaceCapabilitiesKHR& capabilities);
// First candidate usable as a depth attachment; throws
// "failed to find a suitable depth format!".
vk::Format chooseDepthFormat(bool wantStencil, const std::function<bool(vk::Format)>& isDepthAttachment);

struct Swapchain {
    Swapchain() = default;
    ~Swapchain();
    Swapchain(const Swapchain&) = delete;
    Swapchain& operator=(const Swapchain&) = delete;

    vk::PhysicalDevice physicalDevice;
    const GpuInfo* gpuInfo = nullptr;
    vk::Device device;
    vk::SurfaceKHR surface;
    SwapchainSupport support;
    vk::SwapchainCreateInfoKHR createInfo;
    vk::SwapchainKHR swapchain;
    std::vector<vk::Image> images;
    std::vector<vk::ImageView> imageViews;
    uint32_t imageCount = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    vk::ColorSpaceKHR colorSpace = vk::ColorSpaceKHR::eSrgbNonlinear;
    vk::Format colorFormat = vk::Format::eUndefined;
    vk::Format depthFormat = vk::Format::eUndefined;
    bool wantStencil = false;

    // Queries the surface and makes every choice; creates nothing.
    void init(vk::PhysicalDevice physicalDevice, const GpuInfo* gpuInfo, vk::Device device,
              vk::SurfaceKHR surface, bool wantStencil);

    // First call: creates the swapchain (width and height are used only when
    // the surface leaves the size to the swapchain); later calls rebuild it
    // for the new window size from the old one. Fetches images, makes views.
    void create(uint32_t width, uint32_t height);

    void destroy();

private:
    uint32_t sharingFamilies[2] = {0, 0};
    bool sizeFromWindow = false;
};
