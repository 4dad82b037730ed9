// Frame drawing and the swapchain rebuild.

#include "Application.h"

#include <spdlog/spdlog.h>

#include <glm/glm.hpp>

#include <cstdint>

void Application::drawFrame()
{
    // One frame in flight: the previous frame's passes have finished reading
    // the uniform buffers, the semaphores and the offscreen images before
    // this frame touches them.
    vk::resultCheck(device.waitForFences(frameFence, VK_TRUE, UINT64_MAX), "vk::Device::waitForFences");

    uint32_t imageIndex = 0;
    const vk::Result acquired = device.acquireNextImageKHR(swapchainContext.swapchain.swapchain, UINT64_MAX,
                                                           imageAvailableSemaphore, {}, &imageIndex);
    if (acquired != vk::Result::eSuccess) {
        logger->warn("Acuired next frame image failed: {}", vk::to_string(acquired));
        if (acquired == vk::Result::eErrorOutOfDateKHR) {
            pendingActions |= PendingAction::SwapchainResize;
            return;
        }
        if (acquired == vk::Result::eTimeout || acquired == vk::Result::eNotReady) return;
        // A lost surface or device does not come back by trying again.
        if (acquired != vk::Result::eSuboptimalKHR) {
            vk::resultCheck(acquired, "vk::Device::acquireNextImageKHR");
        }
    }
    device.resetFences(frameFence);

    // Each pass waits for the one before it; the output pass also waits for
    // the acquired image, and the presentation waits for the output pass.
    const glm::vec2 cursor(cursorPos[0], cursorPos[1]);
    meshDrawer.updateCamera(cursor);
    Camera& camera = meshDrawer.camera;
    // A still view over unchanged passes: the offscreen image already holds
    // this frame's scene, and the overlay keeps a copy of it to draw on.
    const bool unchanged = offscreenReuse.unchanged(
        {drawer::bytesOf(meshDrawer.transformUbo), drawer::bytesOf(camera.mvp), drawer::bytesOf(camera.edgeDetection)});
    // An overlay not brought up yet is left out of the frame.
    const bool overlay = uiDrawer.initialised;
    const bool redraw = !unchanged || (overlay && !uiDrawer.holdsScene());
    if (overlay) uiDrawer.draw(cursorPos, imageIndex, fps, redraw);
    vk::Semaphore outputWaits[2] = {imageAvailableSemaphore, {}};
    uint32_t outputWaitCount = 1;
    vk::Semaphore last;
    if (redraw) {
        last = meshDrawer.submit(graphicsQueue, imageIndex, 0, nullptr);
        if (camera.edgeDetection) last = edgePassDrawer.submit(graphicsQueue, imageIndex, 1, &last);
        lineDrawer.updateUniformBuffer(camera.mvp);
        last = lineDrawer.submit(graphicsQueue, imageIndex, 1, &last);
    }
    if (overlay && uiDrawer.submitDue()) last = uiDrawer.submit(graphicsQueue, last ? 1 : 0, &last);
    if (last) outputWaits[outputWaitCount++] = last;
    const vk::Semaphore rendered = outputPassDrawer.submit(graphicsQueue, imageIndex, outputWaitCount, outputWaits);
    graphicsQueue.submit({}, frameFence);

    try {
        const vk::Result presented = presentQueue.presentKHR(
            vk::PresentInfoKHR(rendered, swapchainContext.swapchain.swapchain, imageIndex));
        (void)presented;
    } catch (const vk::OutOfDateKHRError&) {
        pendingActions |= PendingAction::SwapchainResize;
    } catch (const vk::SystemError& e) {
        logger->critical("presentKHR failed: {}", e.what());
    }
}

void Application::recreateSwapchain(uint32_t width, uint32_t height)
{
    device.waitIdle();
    swapchainContext.swapchain.create(width, height);
    swapchainContext.createDepthImage();
    swapchainContext.createColorAttachments();
    swapchainContext.createFramebuffers(0);
    swapchainContext.createFramebuffers(1);
    meshDrawer.onResize();
    edgePassDrawer.onResize();
    lineDrawer.onResize();
    // The overlay reads the extent and framebuffers anew every frame.
    outputPassDrawer.onResize();
    offscreenReuse.invalidate();
}
