// The GUI overlay drawn over the viewer's passes on a window, under the
// validation layer: its picture in both target images, a resize, and frames
// whose GUI changes over an unchanged scene.

#include "RgbaImage.h"
#include "ViewerRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

// Pixels that differ between two pictures in columns [0, width) and rows
// [top, bottom); 0 stands for the whole width or height, and then the sizes
// must agree. SIZE_MAX when the region does not fit.
size_t differingPixels(const std::string& pathA, const std::string& pathB, uint32_t width = 0, uint32_t top = 0,
                       uint32_t bottom = 0)
{
    const RgbaImage a(pathA), b(pathB);
    if ((!width || !bottom) && (a.width != b.width || a.height != b.height)) return SIZE_MAX;
    width = width ? width : a.width;
    bottom = bottom ? bottom : a.height;
    if (width > std::min(a.width, b.width) || bottom > std::min(a.height, b.height)) return SIZE_MAX;
    size_t count = 0;
    for (uint32_t y = top; y < bottom; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = a.pixels + (size_t(y) * a.width + x) * 4;
            count += !std::equal(p, p + 4, b.pixels + (size_t(y) * b.width + x) * 4);
        }
    }
    return count;
}

class OverlayRig : public ViewerRig {
protected:
    void SetUp() override
    {
        ViewerRig::SetUp();
        if (HasFatalFailure()) return;
        resize(640, 480);
        show(makeCube(false));
        showOverlay();
        // The frame-rate text stays "0 fps" and the plot flat.
        overlayFps = 0;
        // Auto-sized windows take their size in their first frames.
        for (int i = 0; i < 3; ++i) drawFrame();
    }

    void TearDown() override
    {
        for (const std::string& p : files) std::filesystem::remove(p);
        ViewerRig::TearDown();
    }

    // Captures a frame into a file removed at the end.
    std::string shot(const std::string& name) { return files.emplace_back(capture(name)); }

    // The top-left part of a capture, the information overlay and the model
    // without the windows docked at the right and bottom edges, against its
    // reference image.
    void expectTopLeftMatchesGolden(const std::string& name)
    {
        const RgbaImage full(shot(name));
        ASSERT_TRUE(full.width >= 560 && full.height >= 420);
        const std::string part = files.emplace_back(files.back() + ".part.png");
        RgbaImage::fromRawRows(full.pixels, 560, 420, (full.width - 560) * 4, false, false).savePng(part);
        expectMatchesGolden(part, name);
    }

    std::vector<std::string> files;
};

} // namespace

TEST_F(OverlayRig, InformationOverlayOverTheCubeInBothTargets)
{
    expectTopLeftMatchesGolden("overlay_cube");
    // In sketch mode the overlay draws on the edge image, which is the one
    // shown and captured.
    setSketchMode(true);
    expectTopLeftMatchesGolden("overlay_cube_sketch");
}

TEST_F(OverlayRig, GuiChangesRedrawOnlyTheGui)
{
    const std::string plot = shot("overlay_plot");
    EXPECT_FALSE(lastFrameRedrawn);

    // A task's progress replaces the plot; a percent sign in its name is
    // text, not a format.
    overlay->taskStatus.name = "Load %s%n 100%";
    overlay->taskStatus.progress = 50;
    const std::string progress = shot("overlay_progress");
    EXPECT_FALSE(lastFrameRedrawn);
    EXPECT_GT(differingPixels(plot, progress), 100u);
    // Below the overlay nothing changed: the scene was not drawn again.
    EXPECT_EQ(differingPixels(plot, progress, 0, 160), 0u);

    // Back to the plot: the same picture as before, nothing blended twice.
    overlay->taskStatus.progress = 100;
    EXPECT_EQ(differingPixels(plot, shot("overlay_plot_again")), 0u);
    EXPECT_FALSE(lastFrameRedrawn);
    for (int i = 0; i < 5; ++i) drawFrame();
    EXPECT_EQ(differingPixels(plot, shot("overlay_plot_still")), 0u);
}

TEST_F(OverlayRig, ResizeKeepsTheOverlay)
{
    const std::string before = shot("overlay_before_resize");
    resize(800, 560);
    const std::string after = shot("overlay_after_resize");
    EXPECT_TRUE(lastFrameRedrawn);
    EXPECT_EQ(RgbaImage(after).width, 800u);
    // The overlay's corner of the picture holds only the overlay.
    EXPECT_LE(differingPixels(before, after, 300, 0, 100), 20u);
}
