#include "RgbaImage.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {
fs::path scratchDir()
{
    fs::path dir = fs::temp_directory_path() / ("tamrel_image_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}
} // namespace

TEST(RgbaImage, GreyPngLoadsAsOpaqueRgba)
{
    const fs::path file = scratchDir() / "grey.png";
    const unsigned char grey[6] = {0, 50, 100, 150, 200, 250};
    ASSERT_TRUE(stbi_write_png(file.c_str(), 3, 2, 1, grey, 3));

    RgbaImage image(file.string());
    ASSERT_EQ(image.width, 3u);
    ASSERT_EQ(image.height, 2u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(image.pixels[i * 4 + 0], grey[i]);
        EXPECT_EQ(image.pixels[i * 4 + 1], grey[i]);
        EXPECT_EQ(image.pixels[i * 4 + 2], grey[i]);
        EXPECT_EQ(image.pixels[i * 4 + 3], 255);
    }
}

TEST(RgbaImage, MissingOrUndecodableFilesFailWithThePath)
{
    const fs::path missing = scratchDir() / "none.png";
    EXPECT_THROW(
        {
            try {
                RgbaImage image(missing.string());
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), "failed to load image file <" + missing.string() + ">!");
                throw;
            }
        },
        std::runtime_error);
    const fs::path text = scratchDir() / "text.png";
    FILE* f = std::fopen(text.c_str(), "w");
    std::fputs("not an image", f);
    std::fclose(f);
    EXPECT_THROW(RgbaImage image(text.string()), std::runtime_error);
}

TEST(RgbaImage, RawRowsSkipPaddingSwapAndForceOpaque)
{
    std::vector<uint8_t> rows(32);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i);
    RgbaImage padded = RgbaImage::fromRawRows(rows.data(), 2, 2, 8, false, false);
    const std::vector<uint8_t> expected = {0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23};
    EXPECT_EQ(std::vector<uint8_t>(padded.pixels, padded.pixels + 16), expected);

    const uint8_t bgra[4] = {1, 2, 3, 0};
    RgbaImage swapped = RgbaImage::fromRawRows(bgra, 1, 1, 0, true, true);
    EXPECT_EQ(std::vector<uint8_t>(swapped.pixels, swapped.pixels + 4), (std::vector<uint8_t>{3, 2, 1, 255}));
}

TEST(RgbaImage, SavedPngReadsBackAndMovesKeepOwnership)
{
    const uint8_t pixels[8] = {10, 20, 30, 40, 50, 60, 70, 80};
    RgbaImage image = RgbaImage::fromRawRows(pixels, 2, 1, 0, false, false);
    RgbaImage moved = std::move(image);
    EXPECT_EQ(image.pixels, nullptr);

    const fs::path file = scratchDir() / "out.png";
    moved.savePng(file.string());
    int w = 0, h = 0, n = 0;
    unsigned char* back = stbi_load(file.c_str(), &w, &h, &n, 4);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 8), std::vector<uint8_t>(pixels, pixels + 8));
    stbi_image_free(back);
}

TEST(RgbaImage, SavingIntoAMissingFolderFails)
{
    const uint8_t pixel[4] = {1, 2, 3, 4};
    RgbaImage image = RgbaImage::fromRawRows(pixel, 1, 1, 0, false, false);
    const std::string path = (scratchDir() / "missing" / "shot.png").string();
    try {
        image.savePng(path);
        FAIL() << "expected a failure";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "failed to write image file <" + path + ">!");
    }
}

TEST(RgbaImage, AFullDiskIsAFailureNotATruncatedFile)
{
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const uint8_t pixel[4] = {1, 2, 3, 4};
    RgbaImage image = RgbaImage::fromRawRows(pixel, 1, 1, 0, false, false);
    EXPECT_THROW(image.savePng("/dev/full"), std::runtime_error);
}
