#pragma once
// Draws the line overlays (axis, bounding box, normals, boundary and complex
// edges) over the current offscreen image, depth-tested against the mesh.
// All groups share one vertex and one index buffer; each visible group is one
// indexed draw with its own line width and always-in-front flag, fixed when
// the command buffer is recorded. Owned by the application; main thread
// only; re-recording and rebuilding wait for an idle device (callers do).

#include "Buffer.h"
#include "LineGeometry.h"

#include <glm/glm.hpp>
#include <vulkan/vulkan.hpp>

#include <cstdint>
#include <string>
#include <vector>

struct GpuInfo;
struct MeshVertex;
class SwapchainContext;

class LineDrawer {
public:
    LineDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t framebufferIndex);
    ~LineDrawer();
    LineDrawer(const LineDrawer&) = delete;
    LineDrawer& operator=(const LineDrawer&) = delete;

    void setup(const GpuInfo* gpuInfo, vk::Device device, SwapchainContext* swapchainContext);
    void init();
    void recordCommandBuffers();
    void rebuild();
    void onResize();
    vk::Semaphore submit(vk::Queue queue, uint32_t imageIndex, uint32_t waitCount,
                         const vk::Semaphore* waitSemaphores);
    void updateUniformBuffer(const glm::mat4& matrix);
    void destroy();

    // Host-side builders; the result reaches the GPU with init or rebuild.
    void clear();
    void addDrawLines(const std::vector<MeshVertex>& records, const std::vector<uint32_t>& indices,
                      const glm::vec3& color, bool append, std::string name, float lineWidth, bool alwaysFront);
    void addDrawMeshEdges(const std::vector<MeshVertex>& records, const glm::vec3& color, bool append,
                          std::string name, float lineWidth, bool alwaysFront);
    void addDrawAabb(const glm::vec3& boxMin, const glm::vec3& boxMax, const glm::vec3& color, bool append,
                     bool negateY, std::string name);
    void addDrawAxis(const glm::vec3& origin, const glm::vec3& halfLengths, bool append, std::string name);
    void addDrawNormals(const std::vector<MeshVertex>& records, float length, std::string name);

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
    vk::PipelineCache pipelineCache;
    vk::PipelineLayout pipelineLayout;
    vk::Pipeline pipeline;
    vk::CommandPool graphicsCommandPool;
    vk::CommandPool transferCommandPool;
    std::vector<vk::CommandBuffer> commandBuffers;
    vk::Semaphore semaphore;

    Buffer vertexBuffer;
    Buffer indexBuffer;
    Buffer uniformBuffer;
    LineGeometry geometry;
    glm::mat4 mvp;
    LineGroupMap groups;

private:
    void createBuffers();
    void createDescriptors();
    void createPipeline();
};
