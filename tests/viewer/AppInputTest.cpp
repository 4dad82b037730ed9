// Key, scroll and screenshot requests of the application object, without a
// window: the callbacks only set bits and camera fields.

#include "Application.h"
#include "RenderTestSupport.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

class AppInput : public testing::Test {
protected:
    static void SetUpTestSuite() { rendertest::logText(); }

    uint64_t press(int key)
    {
        app.pendingActions = 0;
        app.onKey(key, GLFW_PRESS, 0);
        return app.pendingActions;
    }

    // Held by pointer: the document's destructor may throw, a test's may not.
    std::unique_ptr<Application> owner = std::make_unique<Application>();
    Application& app = *owner;
};

} // namespace

TEST_F(AppInput, EachKeySetsItsBit)
{
    namespace PA = PendingAction;
    const std::pair<int, uint64_t> table[] = {
        {GLFW_KEY_SPACE, PA::ScreenshotRequested}, {GLFW_KEY_R, PA::ResetView},
        {GLFW_KEY_TAB, PA::SwitchStyle},           {GLFW_KEY_V, PA::ToggleProjection},
        {GLFW_KEY_G, PA::ToggleGrid},              {GLFW_KEY_L, PA::ToggleSketchMode},
        {GLFW_KEY_N, PA::ToggleNormals},           {GLFW_KEY_O, PA::ToggleBoundaryEdges},
        {GLFW_KEY_I, PA::ToggleComplexEdges},      {GLFW_KEY_X, PA::ToggleAxis},
        {GLFW_KEY_B, PA::ToggleBoundingBox}};
    for (const auto& [key, bit] : table) EXPECT_EQ(press(key), bit) << key;
    for (int key : {GLFW_KEY_A, GLFW_KEY_ESCAPE, GLFW_KEY_F1, GLFW_KEY_LEFT_SHIFT, GLFW_KEY_UNKNOWN}) {
        EXPECT_EQ(press(key), 0u) << key;
    }
}

TEST_F(AppInput, ShiftGIsWireframeAndRepeatsDoNothing)
{
    app.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_PRESS, GLFW_MOD_SHIFT);
    EXPECT_EQ(app.shiftHeld, 1);
    EXPECT_EQ(press(GLFW_KEY_G), PendingAction::ToggleWireframe);
    app.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_REPEAT, GLFW_MOD_SHIFT);
    EXPECT_EQ(app.shiftHeld, 1);
    app.onKey(GLFW_KEY_RIGHT_SHIFT, GLFW_RELEASE, 0);
    EXPECT_EQ(app.shiftHeld, 0);
    EXPECT_EQ(press(GLFW_KEY_G), PendingAction::ToggleGrid);

    app.pendingActions = 0;
    app.onKey(GLFW_KEY_N, GLFW_REPEAT, 0);
    app.onKey(GLFW_KEY_N, GLFW_RELEASE, 0);
    EXPECT_EQ(app.pendingActions, 0u);

    app.onKey(GLFW_KEY_LEFT_CONTROL, GLFW_PRESS, GLFW_MOD_CONTROL);
    app.onKey(GLFW_KEY_RIGHT_ALT, GLFW_PRESS, GLFW_MOD_ALT);
    EXPECT_EQ(app.ctrlHeld, 1);
    EXPECT_EQ(app.altHeld, 1);
}

TEST_F(AppInput, ScrollSetsOneZoomStep)
{
    app.onScroll(0.0, 2.0);
    EXPECT_EQ(app.meshDrawer.mouseControl.zoomFactor, 1.05f);
    EXPECT_FALSE(app.meshDrawer.mouseControl.zoomAtCursor);
    app.ctrlHeld = 1;
    app.onScroll(1.0, 0.0);  // horizontal only: out
    EXPECT_EQ(app.meshDrawer.mouseControl.zoomFactor, 0.952381f);
    EXPECT_TRUE(app.meshDrawer.mouseControl.zoomAtCursor);
}

TEST_F(AppInput, ScreenshotWaitsForAFrameAfterARebuild)
{
    app.offscreenReuse.invalidate();
    app.pendingActions = 0;
    app.takeScreenshot();
    EXPECT_EQ(app.pendingActions, PendingAction::ScreenshotRequested);
}

TEST_F(AppInput, DrawersStartAsTheFrameExpects)
{
    EXPECT_EQ(app.meshDrawer.camera.shadingMode, ShadingMode::Phong);
    EXPECT_EQ(app.edgePassDrawer.processType, 1u);
    EXPECT_EQ(app.edgePassDrawer.framebufferIndex, 1u);
    EXPECT_EQ(app.outputPassDrawer.renderTarget, 0u);
    EXPECT_TRUE(app.outputPassDrawer.presentAfter);
    EXPECT_FALSE(app.lineDrawer.clearOnLoad);
    EXPECT_FALSE(app.meshDrawer.initialised);
}

TEST_F(AppInput, DropTakesTheFirstImportableFile)
{
    app.focused = 0;
    app.uiDrawer.modelPath = "before.obj";
    const char* unsupported[] = {"notes.txt", "image.xyz123"};
    app.pendingActions = 0;
    app.onDrop(2, unsupported);
    EXPECT_EQ(app.pendingActions, 0u);
    EXPECT_EQ(app.uiDrawer.modelPath, "before.obj");
    EXPECT_EQ(app.focused, 1);

    const char* mixed[] = {"a.txt", "b.xyz123", "c.STL", "d.obj"};
    app.onDrop(4, mixed);
    EXPECT_EQ(app.pendingActions, PendingAction::LoadRequested);
    EXPECT_EQ(app.uiDrawer.modelPath, "c.STL");
}
