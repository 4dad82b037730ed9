#pragma once
// Read-back of an offscreen colour image into a PNG file: the steps behind
// SwapchainContext::captureScreenshot, split so that both the blit and the
// raw-copy path can be exercised on any device.

#include <vulkan/vulkan.hpp>

#include <string>

class SwapchainContext;

// Whether a raw copy from an image of `format` holds blue in byte 0 and red
// in byte 2, so the host copy must exchange them. A blit converts instead.
bool screenshotSwapsRedBlue(bool blitSupported, vk::Format format);

// Copies offscreen image attachmentIndex of the context into a host-visible
// RGBA8 image, by blit or by raw copy, and writes it as a PNG at path.
void writeAttachmentPng(const SwapchainContext& context, uint32_t attachmentIndex, const std::string& path,
                        bool useBlit);
