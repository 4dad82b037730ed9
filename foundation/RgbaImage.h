#pragma once
// An 8-bit RGBA picture, rows without gaps. Decoded from an image file (the
// window icon) or built from rows read back from the GPU (screenshots), and
// written as PNG. Owns its pixel buffer; movable, not copyable.

#include <cstdint>
#include <string>

class RgbaImage {
public:
    // Decodes any image file stb_image reads into four 8-bit channels.
    explicit RgbaImage(const std::string& path);
    ~RgbaImage();

    RgbaImage(RgbaImage&& other) noexcept;
    RgbaImage& operator=(RgbaImage&& other) noexcept;
    RgbaImage(const RgbaImage&) = delete;
    RgbaImage& operator=(const RgbaImage&) = delete;

    // Builds an image from height rows of width 4-byte pixels, each source row
    // followed by rowPadding bytes that are skipped.
    static RgbaImage fromRawRows(const uint8_t* data, uint32_t width, uint32_t height,
                                 uint32_t rowPadding, bool swapRedBlue, bool forceOpaque);

    void savePng(const std::string& path) const;

    uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;

private:
    RgbaImage() = default;
};
