#pragma once
// Draws the current mesh: the first pass of every frame, clearing offscreen
// image 0 and the shared depth image, with one of five pipelines chosen by
// the camera's shading mode. Owns the mesh's vertex, index and uniform
// buffers, the matcap texture array and the view state (camera, mouse
// control, uniform block). Owned by the application; main thread only.
// Re-recording and rebuilding reset buffers that earlier frames submitted,
// so callers wait for the device to be idle first.

#include "Buffer.h"
#include "Camera.h"
#include "Image.h"

#include <vulkan/vulkan.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct GpuInfo;
struct MeshVertex;
class SwapchainContext;

class MeshDrawer {
public:
    MeshDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t framebufferIndex);
    ~MeshDrawer();
    MeshDrawer(const MeshDrawer&) = delete;
    MeshDrawer& operator=(const MeshDrawer&) = delete;

    void setup(const GpuInfo* gpuInfo, vk::Device device, SwapchainContext* swapchainContext);
    // Loads the matcap pack, uploads the mesh, builds descriptors and pipelines.
    void init(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices);
    void recordCommandBuffers();
    // New mesh data; the matcap texture stays.
    void rebuild(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices);
    void onResize();
    vk::Semaphore submit(vk::Queue queue, uint32_t imageIndex, uint32_t waitCount,
                         const vk::Semaphore* waitSemaphores);
    void destroy();

    // Per frame before submit: camera motion and the uniform block upload.
    void updateCamera(glm::vec2 cursor);
    void onMouseButton(int button, int action, glm::vec2 cursor);

    std::string texturePackPath;
    const GpuInfo* gpuInfo = nullptr;
    vk::Device device;
    SwapchainContext* swapchainContext = nullptr;
    bool clearOnLoad;
    bool presentAfter;
    uint32_t renderTarget;
    uint32_t framebufferIndex;
    bool initialised = false;

    vk::RenderPass renderPass;
    vk::DescriptorSetLayout descriptorSetLayout;
    vk::DescriptorPool descriptorPool;
    vk::DescriptorSet descriptorSet;
    vk::PipelineLayout pipelineLayout;
    vk::PipelineCache pipelineCache;
    // 0 matcap, 1 matcap + edges, 2 Phong, 3 Phong + edges, 4 flat wireframe.
    std::array<vk::Pipeline, 5> pipelines;
    vk::CommandPool graphicsCommandPool;
    vk::CommandPool transferCommandPool;
    std::vector<vk::CommandBuffer> commandBuffers;
    vk::Semaphore semaphore;

    Buffer vertexBuffer;
    Buffer indexBuffer;
    Buffer uniformBuffer;
    uint32_t indexCount = 0;
    uint32_t vertexCount = 0;
    Image matcapImage;
    uint32_t matcapLayerCount = 0;

    TransformUbo transformUbo;
    MouseControl mouseControl;
    Camera camera;

private:
    void loadMatcapTexture(std::string path, Image& image, uint32_t& layerCount);
    void createBuffers(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices);
    void createDescriptors();
    void createPipelines();
};

// The pipeline index that draws a shading mode; none (-1) outside 0..4.
int pipelineForShadingMode(uint32_t shadingMode);
