#include "RgbaImage.h"

#include "StringUtils.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

RgbaImage::RgbaImage(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error(stringFormat("failed to load image file <%s>!", path.c_str()));
    int w = 0, h = 0, channels = 0;
    pixels = stbi_load_from_file(file, &w, &h, &channels, 4);
    std::fclose(file);
    if (!pixels) throw std::runtime_error(stringFormat("failed to load image file <%s>!", path.c_str()));
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
}

RgbaImage::~RgbaImage()
{
    std::free(pixels);
}

RgbaImage::RgbaImage(RgbaImage&& other) noexcept
    : pixels(other.pixels), width(other.width), height(other.height)
{
    other.pixels = nullptr;
    other.width = other.height = 0;
}

RgbaImage& RgbaImage::operator=(RgbaImage&& other) noexcept
{
    if (this != &other) {
        std::free(pixels);
        pixels = other.pixels;
        width = other.width;
        height = other.height;
        other.pixels = nullptr;
        other.width = other.height = 0;
    }
    return *this;
}

RgbaImage RgbaImage::fromRawRows(const uint8_t* data, uint32_t width, uint32_t height,
                                 uint32_t rowPadding, bool swapRedBlue, bool forceOpaque)
{
    RgbaImage image;
    const size_t rowBytes = size_t(width) * 4;
    const size_t total = rowBytes * height;
    image.pixels = static_cast<uint8_t*>(std::malloc(total > 0 ? total : 1));
    if (!image.pixels) throw std::bad_alloc();
    image.width = width;
    image.height = height;

    if (rowPadding == 0) {
        std::memcpy(image.pixels, data, total);
    } else {
        for (uint32_t row = 0; row < height; ++row) {
            std::memcpy(image.pixels + row * rowBytes, data + row * (rowBytes + rowPadding), rowBytes);
        }
    }
    if (swapRedBlue || forceOpaque) {
        for (size_t i = 0; i < total; i += 4) {
            if (swapRedBlue) std::swap(image.pixels[i], image.pixels[i + 2]);
            if (forceOpaque) image.pixels[i + 3] = 255;
        }
    }
    return image;
}

namespace {
void appendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}
} // namespace

void RgbaImage::savePng(const std::string& path) const
{
    const auto fail = [&] {
        return std::runtime_error(stringFormat("failed to write image file <%s>!", path.c_str()));
    };
    std::vector<uint8_t> encoded;
    if (!stbi_write_png_to_func(appendBytes, &encoded, int(width), int(height), 4, pixels,
                                int(width * 4)) ||
        encoded.empty()) {
        throw fail();
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw fail();
    // A short write (a full disk) must not pass as a saved picture.
    const size_t written = std::fwrite(encoded.data(), 1, encoded.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != encoded.size() || !closed) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
        throw fail();
    }
}
