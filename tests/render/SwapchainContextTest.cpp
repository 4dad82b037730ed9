// The swapchain context on a real window (Xvfb + lavapipe): swapchain,
// framebuffers, rebuild at a new size, render passes from the helper and the
// screenshot read-back. The validation layer watches from the environment.

#include "GpuInfo.h"
#include "OneShotCommand.h"
#include "RenderTestSupport.h"
#include "RgbaImage.h"
#include "Screenshot.h"
#include "SwapchainContext.h"
#include "WindowDevice.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class WindowContext : public testing::Test, protected rendertest::WindowDevice {
protected:
    void SetUp() override
    {
        rendertest::logText();
        openWindowDevice("Tamrel render test", 320, 240);
    }

    void TearDown() override { closeWindowDevice(); }

    // Records one pass of `renderPass` on offscreen framebuffer `index`
    // clearing colour to `rgba` and submits it, waiting for the end.
    void clearOffscreen(vk::RenderPass renderPass, uint32_t index, std::array<float, 4> rgba)
    {
        OneShotCommand command{device, context.graphicsCommandPool,
                               static_cast<uint32_t>(gpuInfo.graphicsFamily), nullptr};
        command.begin();
        const std::array<vk::ClearValue, 2> clears = {vk::ClearColorValue(rgba),
                                                      vk::ClearDepthStencilValue(1.0f, 0)};
        command.commandBuffer.beginRenderPass(
            vk::RenderPassBeginInfo(renderPass, context.offscreenFramebuffers[index],
                                    vk::Rect2D({0, 0}, {context.swapchain.width, context.swapchain.height}),
                                    clears),
            vk::SubpassContents::eInline);
        command.commandBuffer.endRenderPass();
        command.submitAndWait();
        command.free();
    }

};

void expectUniform(const std::string& path, uint8_t r, uint8_t g, uint8_t b, uint32_t w, uint32_t h)
{
    const RgbaImage png(path);
    ASSERT_EQ(png.width, w);
    ASSERT_EQ(png.height, h);
    size_t wrong = 0;
    for (size_t i = 0; i < size_t(w) * h * 4; i += 4) {
        if (png.pixels[i] != r || png.pixels[i + 1] != g || png.pixels[i + 2] != b ||
            png.pixels[i + 3] != 255) {
            ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0u) << "first pixel " << int(png.pixels[0]) << "," << int(png.pixels[1]) << ","
                         << int(png.pixels[2]) << "," << int(png.pixels[3]);
}

std::string tempPng(const char* name)
{
    return (fs::temp_directory_path() /
            (std::string("tamrel_") + std::to_string(::getpid()) + "_" + name + ".png"))
        .string();
}
} // namespace

TEST_F(WindowContext, TargetsFollowTheSwapchain)
{
    const Swapchain& sc = context.swapchain;
    EXPECT_EQ(sc.width, 320u);
    EXPECT_EQ(sc.height, 240u);
    EXPECT_EQ(sc.colorFormat, vk::Format::eB8G8R8A8Unorm);
    EXPECT_EQ(sc.imageCount, sc.images.size());
    EXPECT_EQ(sc.imageViews.size(), sc.images.size());
    EXPECT_GE(sc.imageCount, sc.createInfo.minImageCount);
    EXPECT_EQ(context.swapchainFramebuffers.size(), sc.imageCount);
    EXPECT_EQ(context.offscreenFramebuffers.size(), 2u);
    for (const Image& attachment : context.colorAttachments) {
        EXPECT_EQ(attachment.width, 320u);
        EXPECT_EQ(attachment.height, 240u);
        EXPECT_EQ(attachment.format, sc.colorFormat);
        EXPECT_TRUE(attachment.view);
        EXPECT_TRUE(attachment.sampler);
    }
    EXPECT_EQ(context.depthImage.format, sc.depthFormat);
    EXPECT_FALSE(context.depthImage.sampler);

    const std::vector<vk::Framebuffer> before = context.swapchainFramebuffers;
    context.createFramebuffers(2);
    EXPECT_EQ(context.swapchainFramebuffers, before);
}

TEST_F(WindowContext, RebuildAtANewSize)
{
    const vk::RenderPass renderPass = context.renderPass;
    glfwSetWindowSize(window, 400, 300);
    int w = 0, h = 0;
    for (int i = 0; i < 100 && (w != 400 || h != 300); ++i) {
        glfwWaitEventsTimeout(0.02);
        glfwGetFramebufferSize(window, &w, &h);
    }
    ASSERT_EQ(w, 400);
    ASSERT_EQ(h, 300);

    device.waitIdle();
    context.swapchain.create(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    context.createDepthImage();
    context.createColorAttachments();
    context.createFramebuffers(0);
    context.createFramebuffers(1);

    EXPECT_EQ(context.swapchain.width, 400u);
    EXPECT_EQ(context.swapchain.height, 300u);
    EXPECT_EQ(context.swapchainFramebuffers.size(), context.swapchain.imageCount);
    EXPECT_EQ(context.colorAttachments[1].width, 400u);
    EXPECT_EQ(context.depthImage.height, 300u);
    EXPECT_EQ(context.renderPass, renderPass);

    // The new targets are usable, and a capture has the new size.
    clearOffscreen(context.renderPass, 1, {0.0f, 1.0f, 0.0f, 1.0f});
    const std::string path = tempPng("resized");
    context.captureScreenshot(path, 1);
    expectUniform(path, 0, 255, 0, 400, 300);
    fs::remove(path);
}

TEST_F(WindowContext, ScreenshotReadsTheClearedColourExactly)
{
    // 51/255, 102/255, 153/255 are exact in 8 bits; alpha is forced opaque.
    clearOffscreen(context.renderPass, 0, {0.2f, 0.4f, 0.6f, 0.5f});
    clearOffscreen(context.renderPass, 1, {1.0f, 0.0f, 0.2f, 0.0f});

    const std::string blit = tempPng("blit");
    context.captureScreenshot(blit, 0);
    expectUniform(blit, 51, 102, 153, 320, 240);
    fs::remove(blit);

    // The raw copy of the BGRA image is swapped on the host to the same picture.
    const std::string copy = tempPng("copy");
    writeAttachmentPng(context, 0, copy, false);
    expectUniform(copy, 51, 102, 153, 320, 240);
    fs::remove(copy);

    const std::string second = tempPng("second");
    context.captureScreenshot(second, 1);
    expectUniform(second, 255, 0, 51, 320, 240);
    fs::remove(second);

    // A path that cannot be written fails, and the offscreen image stays usable.
    EXPECT_THROW(context.captureScreenshot("/nonexistent-dir/x.png", 0), std::runtime_error);
    clearOffscreen(context.renderPass, 0, {0.0f, 0.0f, 0.0f, 1.0f});
}

TEST_F(WindowContext, EveryHelperPassRunsOnTheContextFramebuffers)
{
    // Mesh, sketch, lines/GUI, output: each pass from the helper is used on
    // the framebuffers made with the context's own pass, in frame order.
    const vk::RenderPass mesh = context.createRenderPass(true, false, true);
    const vk::RenderPass sketch = context.createRenderPass(true, false, false);
    const vk::RenderPass overlay = context.createRenderPass(false, false, true);
    const vk::RenderPass output = context.createRenderPass(true, true, true);

    clearOffscreen(mesh, 0, {0.1f, 0.1f, 0.1f, 1.0f});
    clearOffscreen(sketch, 1, {0.2f, 0.2f, 0.2f, 1.0f});
    clearOffscreen(overlay, 1, {0, 0, 0, 0});

    // The output pass targets an acquired swapchain image and hands it to
    // presentation.
    const vk::Semaphore acquired = device.createSemaphore({});
    const vk::Semaphore rendered = device.createSemaphore({});
    uint32_t imageIndex = 0;
    const vk::Result acquiredResult =
        device.acquireNextImageKHR(context.swapchain.swapchain, UINT64_MAX, acquired, {}, &imageIndex);
    ASSERT_TRUE(acquiredResult == vk::Result::eSuccess || acquiredResult == vk::Result::eSuboptimalKHR);

    OneShotCommand command{device, context.graphicsCommandPool, static_cast<uint32_t>(gpuInfo.graphicsFamily),
                           nullptr};
    command.begin();
    const std::array<vk::ClearValue, 2> clears = {vk::ClearColorValue(std::array<float, 4>{0, 0, 0, 1}),
                                                  vk::ClearDepthStencilValue(1.0f, 0)};
    command.commandBuffer.beginRenderPass(
        vk::RenderPassBeginInfo(output, context.swapchainFramebuffers[imageIndex],
                                vk::Rect2D({0, 0}, {context.swapchain.width, context.swapchain.height}),
                                clears),
        vk::SubpassContents::eInline);
    command.commandBuffer.endRenderPass();
    command.commandBuffer.end();
    const vk::PipelineStageFlags waitStage = vk::PipelineStageFlagBits::eColorAttachmentOutput;
    const vk::Fence fence = device.createFence({});
    queue.submit(vk::SubmitInfo(acquired, waitStage, command.commandBuffer, rendered), fence);
    EXPECT_EQ(queue.presentKHR(vk::PresentInfoKHR(rendered, context.swapchain.swapchain, imageIndex)),
              vk::Result::eSuccess);
    EXPECT_EQ(device.waitForFences(fence, VK_TRUE, UINT64_MAX), vk::Result::eSuccess);
    device.waitIdle();
    command.free();
    device.destroyFence(fence);
    device.destroySemaphore(acquired);
    device.destroySemaphore(rendered);
    for (vk::RenderPass pass : {mesh, sketch, overlay, output})
        device.destroyRenderPass(pass);
}

TEST_F(WindowContext, CleanupTwiceDestroysNothingTheSecondTime)
{
    device.waitIdle();
    context.cleanup();
    EXPECT_FALSE(context.renderPass);
    EXPECT_FALSE(context.graphicsCommandPool);
    EXPECT_FALSE(context.swapchain.swapchain);
    EXPECT_TRUE(context.swapchainFramebuffers.empty());
    EXPECT_TRUE(context.offscreenFramebuffers.empty());
    EXPECT_FALSE(context.depthImage.image);
    context.cleanup();
}
