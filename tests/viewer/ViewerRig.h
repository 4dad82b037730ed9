#pragma once
// The application itself on a small window (Xvfb, lavapipe): its viewer is
// brought up through its own start-up and every frame, resize, upload and
// render-setting change goes through its own code; on request the GUI
// overlay too. Pictures are taken through the screenshot path and compared
// with the reference images in tests/golden.

#include "Application.h"
#include "RgbaImage.h"
#include "TestMeshes.h"

#include <gtest/gtest.h>
#include <vulkan/vulkan.hpp>

#include <memory>
#include <string>

class ViewerRig : public testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Uploads a mesh with the camera fitted to it and rebuilds the overlays.
    void show(const TestMesh& mesh);
    // Draws one frame and notes whether it drew the scene passes.
    void drawFrame();
    void setShadingMode(uint32_t mode);
    void setSketchMode(bool on);
    void toggleGroup(const std::string& name);
    void resize(int width, int height);
    // Brings the GUI overlay up as the application does; it is drawn in every
    // later frame with the application's cursor position and frame rate.
    void showOverlay();
    // Draws a frame and writes the finished offscreen image to a PNG; returns its path.
    std::string capture(const std::string& name);

    static constexpr int Width = 320;
    static constexpr int Height = 240;

    // Held by pointer: the document's destructor may throw, a test's may not.
    std::unique_ptr<Application> owner = std::make_unique<Application>();
    Application& app = *owner;
    MeshDrawer& meshDrawer = app.meshDrawer;
    EdgeDetectDrawer& edgePassDrawer = app.edgePassDrawer;
    LineDrawer& lineDrawer = app.lineDrawer;
    EdgeDetectDrawer& outputPassDrawer = app.outputPassDrawer;
    drawer::OffscreenReuse& offscreenReuse = app.offscreenReuse;
    const GpuInfo& gpuInfo = app.gpuInfo;
    const vk::Device& device = app.device;
    const vk::Queue& queue = app.graphicsQueue;
    SwapchainContext& context = app.swapchainContext;
    bool lastFrameRedrawn = false;

private:
    int savedWidth = 0, savedHeight = 0;
};

// Compares a PNG with tests/golden/<name>.png: a pixel differs when any
// channel is off by more than a tolerance, and at most a small share of
// pixels may differ. A missing reference fails; on failure the actual image
// is kept in the build folder.
void expectMatchesGolden(const std::string& actualPath, const std::string& name);

// The width x height part of a picture whose top-left corner is (x, y); it
// must lie inside the picture.
RgbaImage crop(const RgbaImage& picture, uint32_t x, uint32_t y, uint32_t width, uint32_t height);

// Pixels with a channel off by more than tolerance; SIZE_MAX when the sizes differ.
size_t differingPixels(const RgbaImage& a, const RgbaImage& b, int tolerance = 0);
