#include "Config.h"
#include "MatcapTexturePack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace {

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A well-formed pack of `layers` layers of w x h texels; texel bytes count up.
std::vector<uint8_t> makePack(uint32_t w, uint32_t h, uint32_t layers, uint32_t arrayElements)
{
    const uint8_t id[12] = {0xAB, 0x4B, 0x54, 0x58, 0x20, 0x31, 0x31, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};
    const uint32_t words[13] = {0x04030201, 0x1401, 1, 0x1908, 0x8058, 0x1908, w, h, 0, arrayElements, 1, 1, 0};
    std::vector<uint8_t> out(12 + 13 * 4 + 4 + size_t(w) * h * 4 * layers);
    std::memcpy(out.data(), id, 12);
    for (int i = 0; i < 13; ++i) put32(out, 12 + 4 * i, words[i]);
    put32(out, 64, w * h * 4 * layers);
    for (size_t i = 68; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i);
    return out;
}

MatcapPack parse(const std::vector<uint8_t>& bytes)
{
    return parseMatcapPack(bytes.data(), bytes.size(), "pack.ktx");
}

void expectRejected(const std::vector<uint8_t>& bytes)
{
    try {
        parse(bytes);
        ADD_FAILURE() << "accepted a bad pack";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "failed to load texture pack <pack.ktx>.");
    }
}

} // namespace

TEST(MatcapPack, ReadsTheGeneratedPack)
{
    const MatcapPack pack = readMatcapPack(PathTexturePack.string());
    EXPECT_EQ(pack.width, 256u);
    EXPECT_EQ(pack.height, 256u);
    EXPECT_GE(pack.layerCount, 2u);
    EXPECT_EQ(pack.texels.size(), pack.layerSize() * pack.layerCount);
    // Opaque texels and distinct layers.
    EXPECT_EQ(pack.texels[3], 255);
    EXPECT_NE(std::memcmp(pack.texels.data(), pack.texels.data() + pack.layerSize(), pack.layerSize()), 0);
}

TEST(MatcapPack, KeepsLayersInFileOrder)
{
    const auto bytes = makePack(2, 3, 4, 4);
    const MatcapPack pack = parse(bytes);
    EXPECT_EQ(pack.layerCount, 4u);
    ASSERT_EQ(pack.texels.size(), 2u * 3u * 4u * 4u);
    EXPECT_EQ(pack.texels[pack.layerSize() * 2], bytes[68 + pack.layerSize() * 2]);

    // Zero array elements is a plain 2D texture: one layer.
    EXPECT_EQ(parse(makePack(2, 2, 1, 0)).layerCount, 1u);

    // Further mip levels are ignored.
    auto mips = makePack(2, 2, 1, 0);
    put32(mips, 12 + 11 * 4, 2);
    mips.insert(mips.end(), {4, 0, 0, 0, 1, 2, 3, 4});
    EXPECT_EQ(parse(mips).texels.size(), 16u);
}

TEST(MatcapPack, RejectsEverythingElse)
{
    const auto good = makePack(2, 2, 2, 2);
    auto bad = good;
    bad[1] = 'X';
    expectRejected(bad);

    const size_t headerWord[] = {0, 1, 2, 3, 4, 5};
    const uint32_t wrong[] = {0x01020304, 0x1406, 2, 0x1907, 0x8C43, 0x1907};
    for (size_t i = 0; i < 6; ++i) {
        bad = good;
        put32(bad, 12 + 4 * headerWord[i], wrong[i]);
        expectRejected(bad);
    }
    // Zero width, a 3D texture, a cube map, no mip level.
    for (auto [word, value] : {std::pair{6, 0u}, {8, 2u}, {10, 6u}, {11, 0u}}) {
        bad = good;
        put32(bad, 12 + 4 * word, value);
        expectRejected(bad);
    }
    // Key/value data running past the end, a wrong level size, truncated texels.
    bad = good;
    put32(bad, 12 + 12 * 4, 0xFFFFFFF0u);
    expectRejected(bad);
    bad = good;
    put32(bad, 64, 8);
    expectRejected(bad);
    bad = good;
    bad.pop_back();
    expectRejected(bad);
    // Dimensions whose product wraps in 32 bits.
    bad = good;
    put32(bad, 12 + 6 * 4, 0x40000000u);
    put32(bad, 12 + 7 * 4, 0x40000000u);
    expectRejected(bad);
    expectRejected({});
    EXPECT_THROW(readMatcapPack("/nonexistent/pack.ktx"), std::runtime_error);
}
