#pragma once
// The matcap texture pack: a KTX 1.1 file holding a 2D array of 8-bit RGBA
// textures, one mip level used. The reader accepts only that layout and
// throws "failed to load texture pack <path>." for anything else.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MatcapPack {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t layerCount = 0;
    // Level 0 of every layer, one after another, tightly packed rows.
    std::vector<uint8_t> texels;

    size_t layerSize() const { return size_t(width) * height * 4; }
};

// path only names the pack in the error message.
MatcapPack parseMatcapPack(const uint8_t* data, size_t size, const std::string& path);
MatcapPack readMatcapPack(const std::string& path);
