#pragma once
// Rules of the GUI overlay that need neither a window nor a device: the
// monitor's dpi and the font scale it gives, when a per-frame buffer is made
// anew, the scissor of a draw command, and the bytes that decide a frame's
// picture. Pure functions; any thread.

#include <vulkan/vulkan.hpp>

#include <cstddef>
#include <cstdint>
#include <vector>

struct ImDrawData;

namespace ui {

// Dots per inch of a monitor mode widthPixels wide over a physical width in
// millimetres, truncated; 0 when the monitor reports no physical size.
uint32_t screenDpi(int widthPixels, int widthMillimetres);

// 1.5 up to 160 dpi, then growing by a third per 80 dpi (times 1.5).
float fontScaleForDpi(uint32_t dpi);

// A buffer for `total` elements is made anew when none exists or it was made
// for another total; never for 0 elements, which is no valid buffer size.
bool needsNewBuffer(bool exists, uint64_t madeFor, uint64_t total);

// The scissor of a clip rectangle (x1, y1, x2, y2) clamped to the
// framebuffer; false when no pixel of it lies on the framebuffer (reversed,
// empty or wholly outside), and then the command draws nothing.
bool scissorFor(const float clip[4], vk::Extent2D extent, vk::Rect2D& scissor);

// Appends everything of a frame's draw data that decides its picture:
// vertices, indices, and each command's clip rectangle and index range.
void appendDrawData(std::vector<std::byte>& out, const ImDrawData& data);

} // namespace ui
