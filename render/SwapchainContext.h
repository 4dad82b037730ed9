#pragma once
// The render targets that depend on the window size and the one place that
// knows their formats: the swapchain, two offscreen colour images, the depth
// image every pass shares, the framebuffers over them and two command pools.
// Its render-pass helper gives every drawer a pass compatible with these
// framebuffers. Owned by the application; main thread only.
//
// A frame: the mesh, line and GUI passes draw into an offscreen image with
// the shared depth image; an edge pass may filter offscreen image 0 into
// image 1; the last pass draws the finished offscreen image into the
// acquired swapchain image. The passes are ordered by the external
// dependencies every render pass from createRenderPass carries.

#include "Image.h"
#include "Swapchain.h"

#include <vulkan/vulkan.hpp>

#include <cstdint>
#include <string>
#include <vector>

struct GpuInfo;

class SwapchainContext {
public:
    SwapchainContext() = default;
    ~SwapchainContext();
    SwapchainContext(const SwapchainContext&) = delete;
    SwapchainContext& operator=(const SwapchainContext&) = delete;

    // Builds everything. width and height are the window's framebuffer size,
    // used only when the surface leaves the swapchain size to us.
    void init(vk::PhysicalDevice physicalDevice, const GpuInfo* gpuInfo, vk::Device device,
              vk::SurfaceKHR surface, uint32_t width = 0, uint32_t height = 0);

    void createCommandPools();

    // A render pass over {colour in the swapchain format, depth}; the caller
    // owns and destroys it.
    //  clear:      colour (and, with clearDepth, depth) starts cleared, else
    //              both are loaded from the previous pass;
    //  present:    colour ends ready for presentation and depth is not
    //              stored, else colour stays an attachment and depth is kept;
    //  clearDepth: with clear, whether depth is cleared too.
    vk::RenderPass createRenderPass(bool clear, bool present, bool clearDepth) const;

    void createDepthImage();
    void createColorAttachments();
    // kind 0: one framebuffer per swapchain image; kind 1: the two offscreen
    // framebuffers; anything else does nothing.
    void createFramebuffers(uint32_t kind);

    // Writes offscreen image attachmentIndex (0 or 1) as a PNG file; blocks
    // until the GPU copy has finished.
    void captureScreenshot(std::string path, uint32_t attachmentIndex);

    // Releases everything the context owns; safe to repeat.
    void cleanup();

    vk::SurfaceKHR surface;
    vk::PhysicalDevice physicalDevice;
    const GpuInfo* gpuInfo = nullptr;
    vk::Device device;
    vk::CommandPool graphicsCommandPool;
    vk::CommandPool transferCommandPool;
    Swapchain swapchain;
    vk::RenderPass renderPass;
    std::vector<vk::Framebuffer> swapchainFramebuffers;
    std::vector<vk::Framebuffer> offscreenFramebuffers;
    Image colorAttachments[2];
    Image depthImage;
};
