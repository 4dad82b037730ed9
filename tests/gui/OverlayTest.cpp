// The GUI overlay drawn over the viewer's passes on a window, under the
// validation layer: its picture in both target images, a resize, and frames
// whose GUI changes over an unchanged scene.

#include "RgbaImage.h"
#include "ViewerRig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The top-left part of a capture: the information overlay and the model,
// without the windows docked at the right and bottom edges.
RgbaImage topLeft(const std::string& path, uint32_t width, uint32_t height)
{
    const RgbaImage full(path);
    EXPECT_GE(full.width, width);
    EXPECT_GE(full.height, height);
    return RgbaImage::fromRawRows(full.pixels, width, height, (full.width - width) * 4, false, false);
}

std::string savedTopLeft(const std::string& path, uint32_t width, uint32_t height)
{
    const std::string out = path + ".part.png";
    topLeft(path, width, height).savePng(out);
    return out;
}

size_t differingPixels(const RgbaImage& a, const RgbaImage& b)
{
    if (a.width != b.width || a.height != b.height) return SIZE_MAX;
    size_t count = 0;
    for (size_t i = 0; i < size_t(a.width) * a.height * 4; i += 4) {
        count += !std::equal(a.pixels + i, a.pixels + i + 4, b.pixels + i);
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
        for (const std::string& p : files) fs::remove(p);
        ViewerRig::TearDown();
    }

    std::string keep(std::string path)
    {
        files.push_back(path);
        return path;
    }

    std::vector<std::string> files;
};

} // namespace

TEST_F(OverlayRig, InformationOverlayOverTheCubeInBothTargets)
{
    const std::string normal = keep(capture("overlay_cube"));
    expectMatchesGolden(keep(savedTopLeft(normal, 560, 420)), "overlay_cube");

    // In sketch mode the overlay draws on the edge image, which is the one
    // shown and captured.
    setSketchMode(true);
    const std::string sketch = keep(capture("overlay_cube_sketch"));
    expectMatchesGolden(keep(savedTopLeft(sketch, 560, 420)), "overlay_cube_sketch");
}

TEST_F(OverlayRig, GuiChangesRedrawOnlyTheGui)
{
    const std::string plot = keep(capture("overlay_plot"));
    EXPECT_FALSE(lastFrameRedrawn);

    // A task's progress replaces the plot; a percent sign in its name is
    // text, not a format.
    overlay->taskStatus.name = "Load %s%n 100%";
    overlay->taskStatus.progress = 50;
    const std::string progress = keep(capture("overlay_progress"));
    EXPECT_FALSE(lastFrameRedrawn);
    const size_t changed = differingPixels(topLeft(plot, 640, 480), topLeft(progress, 640, 480));
    EXPECT_GT(changed, 100u);
    // Below the overlay nothing changed: the scene was not drawn again.
    const RgbaImage plotFull(plot), progressFull(progress);
    const size_t rowBytes = size_t(plotFull.width) * 4;
    const size_t below = 160 * rowBytes;
    EXPECT_TRUE(std::equal(plotFull.pixels + below, plotFull.pixels + plotFull.height * rowBytes,
                           progressFull.pixels + below));

    // Back to the plot: the same picture as before, nothing blended twice.
    overlay->taskStatus.progress = 100;
    const std::string again = keep(capture("overlay_plot_again"));
    EXPECT_FALSE(lastFrameRedrawn);
    EXPECT_EQ(differingPixels(RgbaImage(plot), RgbaImage(again)), 0u);
    for (int i = 0; i < 5; ++i) drawFrame();
    EXPECT_EQ(differingPixels(RgbaImage(plot), RgbaImage(keep(capture("overlay_plot_still")))), 0u);
}

TEST_F(OverlayRig, ResizeKeepsTheOverlay)
{
    const std::string before = keep(capture("overlay_before_resize"));
    resize(800, 560);
    const std::string after = keep(capture("overlay_after_resize"));
    EXPECT_TRUE(lastFrameRedrawn);
    EXPECT_EQ(RgbaImage(after).width, 800u);
    // The overlay's corner of the picture holds only the overlay.
    EXPECT_LE(differingPixels(topLeft(before, 300, 100), topLeft(after, 300, 100)), 20u);
}
