#pragma once
// A window (Xvfb), a device on lavapipe, the swapchain context and the four
// viewer drawers wired as the application wires them, with the same frame
// sequence; on request the GUI overlay too. Pictures are taken through the
// screenshot path and compared with the reference images in tests/golden.

#include "DrawerSkeleton.h"
#include "EdgeDetectDrawer.h"
#include "GpuInfo.h"
#include "LineDrawer.h"
#include "MeshDrawer.h"
#include "SwapchainContext.h"
#include "TestMeshes.h"
#include "UiDrawer.h"
#include "WindowDevice.h"

#include <gtest/gtest.h>
#include <vulkan/vulkan.hpp>

#include <memory>
#include <string>

class ViewerRig : public testing::Test, protected rendertest::WindowDevice {
protected:
    void SetUp() override;
    void TearDown() override;

    // Uploads a mesh with the camera fitted to it and rebuilds the overlays.
    void show(const TestMesh& mesh);
    void drawFrame();
    void setShadingMode(uint32_t mode);
    void setSketchMode(bool on);
    void toggleGroup(const std::string& name);
    void resize(int width, int height);
    // Brings the GUI overlay up at the application's default font scale; it
    // is drawn in every later frame with overlayCursor and overlayFps.
    void showOverlay();
    // Draws a frame and writes the finished offscreen image to a PNG; returns its path.
    std::string capture(const std::string& name);

    static constexpr int Width = 320;
    static constexpr int Height = 240;

    MeshDrawer meshDrawer{true, false, 1, 0};
    EdgeDetectDrawer edgePassDrawer{true, false, 1, 0, 1, 1};
    LineDrawer lineDrawer{false, false, 1, 0};
    EdgeDetectDrawer outputPassDrawer{true, true, 0, 0, 0, 0};
    vk::Semaphore imageAvailable;
    vk::Fence frameFence;
    uint32_t framesPresented = 0;
    // As in the application: frames that would redraw the same picture only copy it.
    drawer::OffscreenReuse offscreenReuse;
    bool lastFrameRedrawn = false;
    std::unique_ptr<UiDrawer> overlay;
    float overlayCursor[2] = {0, 0};
    uint32_t overlayFps = 0;
};

// Compares a PNG with tests/golden/<name>.png: a pixel differs when any
// channel is off by more than a tolerance, and at most a small share of
// pixels may differ. A missing reference fails; on failure the actual image
// is kept in the build folder.
void expectMatchesGolden(const std::string& actualPath, const std::string& name);
