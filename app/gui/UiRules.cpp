#include "UiRules.h"

#include <imgui.h>

#include <algorithm>
#include <span>

namespace ui {

uint32_t screenDpi(int widthPixels, int widthMillimetres)
{
    if (widthMillimetres <= 0 || widthPixels <= 0) return 0;
    const double dpi = widthPixels / (widthMillimetres / 25.4);
    return dpi >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(dpi);
}

float fontScaleForDpi(uint32_t dpi)
{
    return std::max(1.0f, (static_cast<float>(dpi) - 160.0f) * 0.33f / 80.0f + 1.0f) * 1.5f;
}

bool needsNewBuffer(bool exists, uint64_t madeFor, uint64_t total)
{
    return total > 0 && (!exists || madeFor != total);
}

bool scissorFor(const float clip[4], vk::Extent2D extent, vk::Rect2D& scissor)
{
    const float x0 = std::max(clip[0], 0.0f);
    const float y0 = std::max(clip[1], 0.0f);
    const float x1 = std::min(clip[2], static_cast<float>(extent.width));
    const float y1 = std::min(clip[3], static_cast<float>(extent.height));
    // Written so that NaN edges also count as empty.
    if (!(x1 > x0) || !(y1 > y0)) return false;
    const auto width = static_cast<uint32_t>(x1 - x0);
    const auto height = static_cast<uint32_t>(y1 - y0);
    if (width == 0 || height == 0) return false;
    scissor = vk::Rect2D({static_cast<int32_t>(x0), static_cast<int32_t>(y0)}, {width, height});
    return true;
}

namespace {

template <typename T>
void appendBytes(std::vector<std::byte>& out, const T* data, size_t count)
{
    if (count == 0) return;
    const auto bytes = std::as_bytes(std::span<const T>(data, count));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

void appendDrawData(std::vector<std::byte>& out, const ImDrawData& data)
{
    for (int n = 0; n < data.CmdListsCount; ++n) {
        const ImDrawList& list = *data.CmdLists[n];
        const uint32_t sizes[3] = {static_cast<uint32_t>(list.VtxBuffer.Size),
                                   static_cast<uint32_t>(list.IdxBuffer.Size),
                                   static_cast<uint32_t>(list.CmdBuffer.Size)};
        appendBytes(out, sizes, 3);
        appendBytes(out, list.VtxBuffer.Data, static_cast<size_t>(list.VtxBuffer.Size));
        appendBytes(out, list.IdxBuffer.Data, static_cast<size_t>(list.IdxBuffer.Size));
        for (const ImDrawCmd& cmd : list.CmdBuffer) {
            const float clip[4] = {cmd.ClipRect.x, cmd.ClipRect.y, cmd.ClipRect.z, cmd.ClipRect.w};
            const uint32_t range[3] = {cmd.ElemCount, cmd.IdxOffset, cmd.VtxOffset};
            appendBytes(out, clip, 4);
            appendBytes(out, range, 3);
        }
    }
}

} // namespace ui
