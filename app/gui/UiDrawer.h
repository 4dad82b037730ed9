#pragma once
// The GUI overlay: the Dear ImGui back end of the application (display size,
// cursor, wheel and keys in; draw data out through its own Vulkan pipeline)
// and the owner of everything the menus and panels edit: the model and save
// paths, the remesh parameters, the progress record of the running document
// task and the two want-capture flags. Main thread only, except taskStatus,
// whose progress a document task raises from a worker.
//
// The object owns the Dear ImGui context for its whole life. The picture the
// overlay draws on is kept apart as a copy of the scene, so a frame whose
// scene is unchanged restores that copy and draws only the GUI, and a frame
// whose GUI is unchanged too draws nothing at all.

#include "Buffer.h"
#include "Image.h"
#include "TaskStatus.h"

#include <vulkan/vulkan.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// The version the overlay and the about window show.
inline constexpr const char* VersionText = "v0.3.1711 beta";

struct GLFWwindow;
struct ImGuiContext;
struct GpuInfo;
struct ExportFormatInfo;
struct ImporterInfo;
class SwapchainContext;
namespace spdlog {
class logger;
}

class UiDrawer {
public:
    UiDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t framebufferIndex);
    ~UiDrawer();
    UiDrawer(const UiDrawer&) = delete;
    UiDrawer& operator=(const UiDrawer&) = delete;

    // Back end.
    void createSyncObjects(GLFWwindow* window, const GpuInfo* gpuInfo, vk::Device device,
                           SwapchainContext* swapchainContext);
    void init();
    // sceneRedrawn: the passes before the GUI drew the scene anew in this
    // frame; otherwise the target image still holds the last frame's picture.
    void draw(const float cursor[2], uint32_t imageIndex, uint32_t framesPerSecond, bool sceneRedrawn = true);
    // The library's side of draw: hands it the display size, cursor and
    // wheel, builds this frame's windows and takes the want-capture flags.
    void buildFrame(const float cursor[2], uint32_t framesPerSecond);
    // Whether the frame built by the last draw has to be submitted; when not,
    // the target image already holds exactly that picture.
    bool submitDue() const { return pendingSubmit; }
    // Whether the overlay holds a clean copy of the scene that is now in its
    // target image; when it does not, the frame must draw the scene anew.
    bool holdsScene() const;
    vk::Semaphore submit(vk::Queue queue, uint32_t waitCount, const vk::Semaphore* waitSemaphores);
    void destroy();

    // Style and fonts.
    void setupStyleAndFonts();

    // Input bridge.
    void onKey(int key, int action, int mods);
    void onMouseButton(int button, int action, int mods);
    void onScroll(double xOffset, double yOffset);
    void resetInput();
    static const char* getClipboardText(void* userData);
    static void setClipboardText(void* userData, const char* text);

    // Windows built each frame between NewFrame and Render.
    void drawInfoOverlay(uint32_t framesPerSecond);
    void drawMenuBar();
    void drawRemeshPanel(bool* show);
    void drawScreenshotAndLogButtons();
    void drawLogWindow(bool* show);
    void openModelFileDialog(int filterCount, const char* const* filterPatterns);

    GLFWwindow* window = nullptr;
    const GpuInfo* gpuInfo = nullptr;
    vk::Device device;
    SwapchainContext* swapchainContext = nullptr;
    std::shared_ptr<spdlog::logger> logger;
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
    vk::Pipeline pipeline;
    vk::CommandPool graphicsCommandPool;
    vk::CommandPool transferCommandPool;
    vk::CommandBuffer commandBuffer;
    vk::Semaphore semaphore;
    vk::Fence fence;
    Image fontImage;
    uint64_t vertexCount = 0;
    uint64_t indexCount = 0;
    Buffer vertexBuffer;
    Buffer indexBuffer;
    struct PushBlock {
        float scale[2] = {0.0f, 0.0f};
        float translate[2] = {-1.0f, -1.0f};
    } pushBlock;

    uint64_t* pendingActions = nullptr;
    const std::vector<ExportFormatInfo>* exportFormats = nullptr;
    const std::vector<ImporterInfo>* importers = nullptr;
    std::string modelPath;
    std::string savePath;
    std::string saveFormatId;
    float targetDensity = 1.0f;
    int32_t remeshType = 0;
    bool continuousRemesh = false;
    float sizeRatio = 5.0f;
    std::filesystem::path* screenshotsPath = nullptr;
    float fontScale = 1.0f;
    float wheelDelta = 0.0f;
    TaskStatus taskStatus;
    bool wantCaptureMouse = false;
    bool wantCaptureKeyboard = false;

    // Which of the menu bar's windows are shown, the licence selected in the
    // licences window, and the screenshot folder field's text.
    bool showRemesh = false;
    bool showLicences = false;
    bool showAbout = false;
    bool showLog = false;
    uint32_t selectedLicence = 0;
    char screenshotPathBuffer[256] = {};

private:
    void saveModelFileDialog(const ExportFormatInfo& format);
    void drawLicencesWindow();
    void drawAboutWindow();
    void installInputBridge();
    void createFontTexture();
    void createDescriptors();
    void createPipeline();
    void updateBuffers();
    void recordCommandBuffer(uint32_t imageIndex);
    // Copies the target image to the scene copy (save) or back (restore).
    void recordSceneCopy(vk::CommandBuffer commandBuffer, vk::Image target, bool save);
    void ensureSceneImage(vk::Extent2D extent);

    // Releases that came before any frame saw their press: applied right
    // after the next frame has begun, so a quick click is not lost.
    void applyDeferredReleases();

    ImGuiContext* context = nullptr;
    bool pressUnseen[3] = {false, false, false};
    bool releaseDeferred[3] = {false, false, false};
    // The scene without the GUI (of the image's size) and which offscreen
    // image it copies.
    Image sceneImage;
    bool sceneSaved = false;
    uint32_t sceneFramebufferIndex = 0;
    bool saveScene = true;
    bool pendingSubmit = false;
    // The draw data of the last recorded frame and of this one, as bytes.
    std::vector<std::byte> lastFrame;
    std::vector<std::byte> thisFrame;
};
