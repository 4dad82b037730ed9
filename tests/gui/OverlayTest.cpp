// The GUI overlay drawn over the viewer's passes on a window, under the
// validation layer: its picture in both target images, a resize, and frames
// whose GUI changes over an unchanged scene.

#include "RgbaImage.h"
#include "ViewerRig.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The top-left width x height part of a captured picture.
RgbaImage topLeft(const RgbaImage& full, uint32_t width, uint32_t height)
{
    EXPECT_TRUE(full.width >= width && full.height >= height);
    return crop(full, 0, 0, width, height);
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
        app.fps = 0;
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
        const std::string full = shot(name), part = files.emplace_back(full + ".part.png");
        topLeft(RgbaImage(full), 560, 420).savePng(part);
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
    const RgbaImage plot(shot("overlay_plot"));
    EXPECT_FALSE(lastFrameRedrawn);

    // A task's progress replaces the plot; a percent sign in its name is
    // text, not a format.
    app.uiDrawer.taskStatus.name = "Load %s%n 100%";
    app.uiDrawer.taskStatus.progress = 50;
    const RgbaImage progress(shot("overlay_progress"));
    EXPECT_FALSE(lastFrameRedrawn);
    const size_t changed = differingPixels(plot, progress);
    EXPECT_GT(changed, 100u);
    // All of them in the overlay's rows: the scene was not drawn again.
    EXPECT_EQ(differingPixels(topLeft(plot, 640, 160), topLeft(progress, 640, 160)), changed);

    // Back to the plot: the same picture as before, nothing blended twice.
    app.uiDrawer.taskStatus.progress = 100;
    EXPECT_EQ(differingPixels(plot, RgbaImage(shot("overlay_plot_again"))), 0u);
    EXPECT_FALSE(lastFrameRedrawn);
    for (int i = 0; i < 5; ++i) drawFrame();
    EXPECT_EQ(differingPixels(plot, RgbaImage(shot("overlay_plot_still"))), 0u);
}

TEST_F(OverlayRig, ResizeKeepsTheOverlay)
{
    const RgbaImage before(shot("overlay_before_resize"));
    resize(800, 560);
    const RgbaImage after(shot("overlay_after_resize"));
    EXPECT_TRUE(lastFrameRedrawn);
    EXPECT_EQ(after.width, 800u);
    // The overlay's corner of the picture holds only the overlay.
    EXPECT_LE(differingPixels(topLeft(before, 300, 100), topLeft(after, 300, 100)), 20u);
}
