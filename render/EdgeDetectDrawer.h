#pragma once
// A full-screen post pass: one quad whose fragment stage samples offscreen
// colour image `sourceAttachment` and writes a copy (process type 0), dark
// edges on white (1) or an inversion (2) into its own target. The sketch
// pass filters offscreen image 0 into image 1 keeping the mesh depth; the
// output pass copies the finished offscreen image into the acquired
// swapchain image and leaves it ready for presentation. Owned by the
// application; main thread only; re-recording waits for an idle device.

#include "Buffer.h"

#include <vulkan/vulkan.hpp>

#include <cstdint>
#include <vector>

struct GpuInfo;
class SwapchainContext;

class EdgeDetectDrawer {
public:
    EdgeDetectDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t sourceAttachment,
                     uint32_t framebufferIndex, uint32_t processType);
    ~EdgeDetectDrawer();
    EdgeDetectDrawer(const EdgeDetectDrawer&) = delete;
    EdgeDetectDrawer& operator=(const EdgeDetectDrawer&) = delete;

    void setup(const GpuInfo* gpuInfo, vk::Device device, SwapchainContext* swapchainContext);
    void init();
    void recordCommandBuffers();
    void rebuild();
    // The offscreen images are new after a swapchain rebuild: rewrite the
    // descriptor, rebuild the pipeline and record again.
    void onResize();
    void setAttachments(uint32_t sourceAttachment, uint32_t framebufferIndex);
    // A pass into the swapchain signals one semaphore per swapchain image, so
    // that the semaphore a presentation waits on is not signalled again
    // before that image comes back from the presentation engine.
    vk::Semaphore submit(vk::Queue queue, uint32_t imageIndex, uint32_t waitCount,
                         const vk::Semaphore* waitSemaphores);
    void destroy();

    struct PushConstants {
        float img_width = 0;
        float img_height = 0;
        uint32_t process_type = 0;
    };

    const GpuInfo* gpuInfo = nullptr;
    vk::Device device;
    SwapchainContext* swapchainContext = nullptr;
    bool clearOnLoad;
    bool presentAfter;
    uint32_t renderTarget;
    uint32_t sourceAttachment;
    uint32_t framebufferIndex;
    uint32_t processType;
    bool initialised = false;

    vk::RenderPass renderPass;
    vk::DescriptorSetLayout descriptorSetLayout;
    vk::DescriptorPool descriptorPool;
    vk::DescriptorSet descriptorSet;
    vk::PipelineLayout pipelineLayout;
    vk::Pipeline pipeline;
    vk::PipelineCache pipelineCache;
    vk::CommandPool graphicsCommandPool;
    vk::CommandPool transferCommandPool;
    std::vector<vk::CommandBuffer> commandBuffers;
    vk::Semaphore semaphore;
    std::vector<vk::Semaphore> imageSemaphores;

    Buffer quadVertexBuffer;
    Buffer quadIndexBuffer;
    uint32_t indexCount = 0;
    PushConstants pushConstants;

private:
    void createQuadBuffers();
    void createDescriptors();
    void createPipeline();
};
