// The drawers on a real window (Xvfb + lavapipe) with the validation layer
// watching: each shading mode, the overlays and sketch mode against reference
// images, and the drawers' life cycle through rebuilds and resizes.

#include "Camera.h"
#include "RgbaImage.h"
#include "ViewerRig.h"

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Centre pixel and a corner pixel of a capture.
struct Probe {
    uint8_t centre[4];
    uint8_t corner[4];
};

Probe probe(const std::string& path)
{
    const RgbaImage img(path);
    Probe p{};
    const size_t c = (size_t(img.height / 2) * img.width + img.width / 2) * 4;
    for (int i = 0; i < 4; ++i) {
        p.centre[i] = img.pixels[c + i];
        p.corner[i] = img.pixels[i];
    }
    return p;
}

} // namespace

TEST_F(ViewerRig, SphereInEveryShadingMode)
{
    show(makeSphere());
    const char* names[] = {"sphere_wireframe", "sphere_matcap", "sphere_matcap_edges", "sphere_phong",
                           "sphere_phong_edges"};
    for (uint32_t mode = 0; mode < 5; ++mode) {
        setShadingMode(mode);
        const std::string path = capture(names[mode]);
        expectMatchesGolden(path, names[mode]);
        const Probe p = probe(path);
        // Background black, surface lit (wireframe: centre may fall between lines).
        EXPECT_EQ(p.corner[0] + p.corner[1] + p.corner[2], 0) << names[mode];
        if (mode != ShadingMode::Wireframe) {
            EXPECT_GT(p.centre[0] + p.centre[1] + p.centre[2], 60) << names[mode];
        }
        fs::remove(path);
    }
}

TEST_F(ViewerRig, CubeInEveryShadingMode)
{
    show(makeCube(false));
    const char* names[] = {"cube_mode0_wireframe", "cube_mode1_matcap", "cube_mode2_matcap_edges",
                           "cube_mode3_phong", "cube_mode4_phong_edges"};
    for (uint32_t mode = 0; mode < 5; ++mode) {
        setShadingMode(mode);
        const std::string path = capture(names[mode]);
        expectMatchesGolden(path, names[mode]);
        fs::remove(path);
    }
}

TEST_F(ViewerRig, MatcapLayersAndProjection)
{
    show(makeSphere());
    setShadingMode(ShadingMode::Matcap);
    ASSERT_GE(meshDrawer.matcapLayerCount, 2u);
    meshDrawer.camera.matcapIndex = 1;
    const std::string second = capture("sphere_matcap_layer1");
    expectMatchesGolden(second, "sphere_matcap_layer1");
    meshDrawer.camera.matcapIndex = 0;
    const std::string first = capture("sphere_matcap_layer0");
    EXPECT_NE(probe(first).centre[0] * 65536 + probe(first).centre[1] * 256 + probe(first).centre[2],
              probe(second).centre[0] * 65536 + probe(second).centre[1] * 256 + probe(second).centre[2]);

    setShadingMode(ShadingMode::Phong);
    meshDrawer.camera.perspective = false;
    const std::string narrow = capture("cube_narrow");
    fs::remove(narrow);
    show(makeCube(false));
    const std::string cube = capture("cube_narrow");
    expectMatchesGolden(cube, "cube_narrow");
    for (const auto& p : {first, second, cube}) fs::remove(p);
}

TEST_F(ViewerRig, OpenCubeWithOverlays)
{
    show(makeCube(true));
    ASSERT_EQ(lineDrawer.groups.count("edges_boundary"), 1u);
    EXPECT_FALSE(lineDrawer.groups.at("edges_boundary").visible);
    toggleGroup("edges_boundary");
    toggleGroup("normals");
    const std::string path = capture("cube_open_overlays");
    expectMatchesGolden(path, "cube_open_overlays");
    fs::remove(path);

    // Everything hidden: only the mesh remains.
    for (const char* name : {"edges_boundary", "normals", "axis", "aabb"}) toggleGroup(name);
    const std::string bare = capture("cube_open_bare");
    expectMatchesGolden(bare, "cube_open_bare");
    fs::remove(bare);
}

TEST_F(ViewerRig, SketchModeAndBack)
{
    show(makeCube(false));
    const std::string before = capture("cube_phong");
    expectMatchesGolden(before, "cube_phong");

    setSketchMode(true);
    const std::string sketch = capture("cube_sketch");
    expectMatchesGolden(sketch, "cube_sketch");
    // Edges on white: the background is white in edge mode.
    EXPECT_EQ(probe(sketch).corner[0], 255);

    setSketchMode(false);
    const std::string after = capture("cube_phong_again");
    expectMatchesGolden(after, "cube_phong");
    EXPECT_EQ(outputPassDrawer.sourceAttachment, 0u);
    for (const auto& p : {before, sketch, after}) fs::remove(p);
}

TEST_F(ViewerRig, ResizeAndRebuildKeepDrawing)
{
    show(makeSphere());
    drawFrame();
    const std::vector<vk::CommandBuffer> before = outputPassDrawer.commandBuffers;
    const vk::DescriptorSet meshSet = meshDrawer.descriptorSet;
    resize(400, 300);
    // Same image count: the per-image command buffers are reset and kept;
    // only the edge drawers renew their descriptors.
    if (context.swapchain.imageCount == before.size()) {
        EXPECT_EQ(outputPassDrawer.commandBuffers, before);
    }
    EXPECT_EQ(outputPassDrawer.commandBuffers.size(), context.swapchain.imageCount);
    EXPECT_EQ(meshDrawer.descriptorSet, meshSet);
    const std::string path = capture("sphere_resized");
    {
        const RgbaImage img(path);
        EXPECT_EQ(img.width, 400u);
        EXPECT_EQ(img.height, 300u);
    }
    fs::remove(path);

    // New data several times over; each upload replaces buffers in place and
    // keeps the pipelines, whose compiled shaders a software driver would
    // otherwise build again at the next draw.
    const auto meshPipelines = meshDrawer.pipelines;
    const vk::Pipeline linePipeline = lineDrawer.pipeline;
    for (int i = 0; i < 3; ++i) {
        show(i % 2 ? makeSphere(8, 16) : makeCube(true));
        drawFrame();
    }
    EXPECT_EQ(meshDrawer.pipelines, meshPipelines);
    EXPECT_EQ(lineDrawer.pipeline, linePipeline);
    // A mesh without indices draws its records three by three.
    TestMesh soup = makeCube(false);
    std::vector<MeshVertex> flat;
    for (uint32_t i : soup.indices) flat.push_back(soup.vertices[i]);
    soup.vertices = flat;
    soup.indices.clear();
    show(soup);
    EXPECT_EQ(meshDrawer.indexCount, 0u);
    EXPECT_EQ(meshDrawer.vertexCount, 36u);
    const std::string drawn = capture("cube_soup");
    EXPECT_GT(probe(drawn).centre[0], 20);
    fs::remove(drawn);
}

TEST_F(ViewerRig, DrawerShapeRules)
{
    EXPECT_EQ(meshDrawer.commandBuffers.size(), 1u);
    EXPECT_EQ(lineDrawer.commandBuffers.size(), 1u);
    EXPECT_EQ(edgePassDrawer.commandBuffers.size(), 1u);
    EXPECT_EQ(outputPassDrawer.commandBuffers.size(), context.swapchain.imageCount);

    EXPECT_THROW(meshDrawer.rebuild({}, {}), std::runtime_error);
    LineDrawer unrecorded(false, false, 1, 0);
    EXPECT_THROW(unrecorded.submit(queue, 0, 0, nullptr), std::runtime_error);
    unrecorded.destroy();
    unrecorded.destroy();

    // A second destroy releases nothing twice; a new setup starts again.
    device.waitIdle();
    edgePassDrawer.destroy();
    edgePassDrawer.destroy();
    EXPECT_FALSE(edgePassDrawer.initialised);
    edgePassDrawer.setup(&gpuInfo, device, &context);
    edgePassDrawer.init();
    edgePassDrawer.recordCommandBuffers();
    drawFrame();
}

TEST_F(ViewerRig, StillFramesKeepThePictureUntilSomethingChanges)
{
    show(makeCube(false));
    const std::string drawn = capture("cube_phong");
    EXPECT_TRUE(lastFrameRedrawn);
    const std::string kept = capture("cube_phong_kept");
    EXPECT_FALSE(lastFrameRedrawn);
    expectMatchesGolden(kept, "cube_phong");
    {
        const RgbaImage a(drawn), b(kept);
        ASSERT_EQ(a.width * a.height, b.width * b.height);
        EXPECT_TRUE(std::equal(a.pixels, a.pixels + size_t(a.width) * a.height * 4, b.pixels));
    }

    // Per-frame data: the projection.
    meshDrawer.camera.perspective = false;
    drawFrame();
    EXPECT_TRUE(lastFrameRedrawn);
    meshDrawer.camera.perspective = true;
    drawFrame();
    EXPECT_TRUE(lastFrameRedrawn);
    drawFrame();
    EXPECT_FALSE(lastFrameRedrawn);

    // A re-recorded pass: an overlay hidden and shown again.
    toggleGroup("axis");
    drawFrame();
    EXPECT_TRUE(lastFrameRedrawn);
    toggleGroup("axis");
    drawFrame();
    EXPECT_TRUE(lastFrameRedrawn);

    // Sketch mode on a still view, then a resize.
    setSketchMode(true);
    const std::string sketch = capture("cube_sketch");
    EXPECT_TRUE(lastFrameRedrawn);
    const std::string sketchKept = capture("cube_sketch_kept");
    EXPECT_FALSE(lastFrameRedrawn);
    expectMatchesGolden(sketchKept, "cube_sketch");
    resize(400, 300);
    drawFrame();
    EXPECT_TRUE(lastFrameRedrawn);
    for (const auto& p : {drawn, kept, sketch, sketchKept}) fs::remove(p);
}

// The copy that the output pass makes into the swapchain image, drawn into
// the second offscreen image instead, where it can be read back: at an odd
// size it equals its source texel for texel, unmirrored.
TEST_F(ViewerRig, CopyPassReproducesItsSource)
{
    resize(333, 211);
    show(makeSphere());
    const std::string source = capture("copy_source");
    EdgeDetectDrawer copy(true, false, 1, 0, 1, 0);
    copy.setup(&gpuInfo, device, &context);
    copy.init();
    copy.recordCommandBuffers();
    (void)copy.submit(queue, 0, 0, nullptr);
    queue.waitIdle();
    const std::string copied =
        (fs::temp_directory_path() / ("tamrel_" + std::to_string(::getpid()) + "_copy.png")).string();
    context.captureScreenshot(copied, 1);
    copy.destroy();
    const RgbaImage a(source), b(copied);
    ASSERT_EQ(a.width, 333u);
    ASSERT_EQ(b.width, a.width);
    ASSERT_EQ(b.height, a.height);
    const size_t bytes = size_t(a.width) * a.height * 4;
    EXPECT_TRUE(std::equal(a.pixels, a.pixels + bytes, b.pixels));
    for (const auto& p : {source, copied}) fs::remove(p);
}

// Figures for a large mesh at the default window size; run on demand with
// --gtest_also_run_disabled_tests.
TEST_F(ViewerRig, DISABLED_MillionTriangleFrameTime)
{
    resize(1024, 768);
    const TestMesh sphere = makeSphere(500, 1000);
    ASSERT_EQ(sphere.indices.size() / 3, 1000000u);
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::duration d) { return 1000.0 * std::chrono::duration<double>(d).count(); };
    constexpr int frames = 20;
    // Mean time of a frame, with step(i) run before frame i.
    const auto timed = [&](auto&& step) {
        const auto t = Clock::now();
        for (int i = 0; i < frames; ++i) {
            step(i);
            drawFrame();
        }
        device.waitIdle();
        return ms(Clock::now() - t) / frames;
    };
    // Frames of a still view, and frames that draw every pass (a moving view).
    const auto still = [&] { return timed([](int) {}); };
    const auto redrawn = [&] { return timed([&](int) { offscreenReuse.invalidate(); }); };

    const auto t0 = Clock::now();
    show(sphere);
    const auto t1 = Clock::now();
    drawFrame();
    device.waitIdle();
    const auto t2 = Clock::now();
    std::printf("upload %.1f ms, first frame after upload %.1f ms\n", ms(t1 - t0), ms(t2 - t1));
    std::printf("Phong: still frame %.1f ms, redrawn frame %.1f ms\n", still(), redrawn());
    setShadingMode(ShadingMode::PhongEdge);
    std::printf("with the edge overlay: still frame %.1f ms, redrawn frame %.1f ms\n", still(), redrawn());
    setShadingMode(ShadingMode::Phong);
    setSketchMode(true);
    std::printf("sketch mode: still frame %.1f ms, redrawn frame %.1f ms\n", still(), redrawn());
    setSketchMode(false);

    // The GUI overlay on top: still, with the pointer moving over its
    // window, and with a GUI that changes in every frame.
    showOverlay();
    std::printf("overlay: still frame %.1f ms, redrawn frame %.1f ms\n", still(), redrawn());
    std::printf("overlay, pointer moving over it: %.1f ms\n", timed([&](int i) {
                    app.cursorPos[0] = 20.0f + 10.0f * static_cast<float>(i);
                    app.cursorPos[1] = 40.0f + 2.0f * static_cast<float>(i);
                }));
    std::printf("overlay changing every frame: %.1f ms\n",
                timed([&](int i) { app.fps = 100 + static_cast<uint32_t>(i); }));
}
