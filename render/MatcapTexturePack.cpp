#include "MatcapTexturePack.h"

#include "StringUtils.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

constexpr uint8_t KtxIdentifier[12] = {0xAB, 0x4B, 0x54, 0x58, 0x20, 0x31, 0x31, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t KtxEndianness = 0x04030201;
constexpr uint32_t GlUnsignedByte = 0x1401;
constexpr uint32_t GlRgba = 0x1908;
constexpr uint32_t GlRgba8 = 0x8058;

// Header words after the identifier, in file order.
enum HeaderWord {
    Endianness,
    GlType,
    GlTypeSize,
    GlFormat,
    GlInternalFormat,
    GlBaseInternalFormat,
    PixelWidth,
    PixelHeight,
    PixelDepth,
    ArrayElements,
    Faces,
    MipLevels,
    KeyValueBytes,
    HeaderWordCount
};

uint32_t readU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

[[noreturn]] void fail(const std::string& path)
{
    throw std::runtime_error(stringFormat("failed to load texture pack <%s>.", path.c_str()));
}

} // namespace

MatcapPack parseMatcapPack(const uint8_t* data, size_t size, const std::string& path)
{
    constexpr size_t headerSize = sizeof(KtxIdentifier) + HeaderWordCount * 4;
    if (!data || size < headerSize + 4) fail(path);
    if (std::memcmp(data, KtxIdentifier, sizeof(KtxIdentifier)) != 0) fail(path);
    uint32_t h[HeaderWordCount];
    for (int i = 0; i < HeaderWordCount; ++i) h[i] = readU32(data + sizeof(KtxIdentifier) + 4 * i);

    if (h[Endianness] != KtxEndianness || h[GlType] != GlUnsignedByte || h[GlTypeSize] != 1 ||
        h[GlFormat] != GlRgba || h[GlInternalFormat] != GlRgba8 || h[GlBaseInternalFormat] != GlRgba) {
        fail(path);
    }
    if (h[PixelWidth] == 0 || h[PixelHeight] == 0 || h[PixelDepth] != 0 || h[Faces] != 1 ||
        h[MipLevels] == 0) {
        fail(path);
    }

    MatcapPack pack;
    pack.width = h[PixelWidth];
    pack.height = h[PixelHeight];
    pack.layerCount = h[ArrayElements] == 0 ? 1 : h[ArrayElements];

    // Sizes in 64 bits: a hostile header must not wrap them around.
    const uint64_t kvBytes = h[KeyValueBytes];
    if (kvBytes > size - headerSize - 4) fail(path);
    const size_t levelOffset = headerSize + static_cast<size_t>(kvBytes);
    const uint64_t imageSize = readU32(data + levelOffset);
    const uint64_t expected = uint64_t(pack.width) * pack.height * 4 * pack.layerCount;
    if (imageSize != expected) fail(path);
    if (imageSize > size - levelOffset - 4) fail(path);

    // Level 0 comes first; later levels are ignored.
    const uint8_t* level = data + levelOffset + 4;
    pack.texels.assign(level, level + imageSize);
    return pack;
}

MatcapPack readMatcapPack(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) fail(path);
    if (std::fseek(file.get(), 0, SEEK_END) != 0) fail(path);
    const long size = std::ftell(file.get());
    if (size < 0) fail(path);
    std::rewind(file.get());
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) fail(path);
    return parseMatcapPack(bytes.data(), bytes.size(), path);
}
