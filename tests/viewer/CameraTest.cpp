#include "Camera.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float W = 1024.0f;
constexpr float H = 768.0f;

// Window pixel of a model-space point under the camera's last mvp.
glm::vec2 project(const Camera& camera, const glm::vec3& p)
{
    const glm::vec4 c = camera.mvp * glm::vec4(p, 1.0f);
    const glm::vec2 ndc(c.x / c.w, c.y / c.w);
    return {(ndc.x + 1.0f) * 0.5f * W, (ndc.y + 1.0f) * 0.5f * H};
}

// Pretends that a timer was restarted `seconds` ago.
void age(Timer& timer, double seconds)
{
    timer.start = Timer::nowNs() - static_cast<int64_t>(seconds * 1e9);
}

struct CameraRig {
    Camera camera;
    MouseControl mouse;
    TransformUbo ubo;

    void update(glm::vec2 cursor) { updateCameraState(camera, mouse, ubo, cursor, W, H); }
};

} // namespace

TEST(Camera, StartValues)
{
    Camera c;
    EXPECT_EQ(c.shadingMode, ShadingMode::Phong);
    EXPECT_FALSE(c.edgeDetection);
    EXPECT_TRUE(c.perspective);
    EXPECT_EQ(c.rotation, glm::mat4(1.0f));
    EXPECT_EQ(c.view, glm::lookAt(glm::vec3(0, 0, 10), glm::vec3(0, 0, 1), glm::vec3(0, 1, 0)));
    MouseControl m;
    EXPECT_EQ(m.zoomFactor, 1.0f);
    EXPECT_EQ(m.committedRotation, glm::mat4(1.0f));
}

TEST(Camera, PerspectiveProjectionHasGlDepthAndFlippedY)
{
    Camera c;
    const glm::mat4 p = cameraProjection(c, W, H);
    const float t = std::tan(c.fov / 2);
    EXPECT_NEAR(p[0][0], 1.0f / (W / H * t), 1e-5f);
    EXPECT_NEAR(p[1][1], -1.0f / t, 1e-5f);
    EXPECT_NEAR(p[2][2], -(c.far + c.near) / (c.far - c.near), 1e-5f);
    EXPECT_EQ(p[2][3], -1.0f);
    EXPECT_NEAR(p[3][2], -2.0f * c.far * c.near / (c.far - c.near), 1e-5f);
    EXPECT_EQ(p[3][3], 0.0f);

    // Depth -1 at the near plane, +1 at the far plane.
    const glm::vec4 n = p * glm::vec4(0, 0, -c.near, 1);
    const glm::vec4 f = p * glm::vec4(0, 0, -c.far, 1);
    EXPECT_NEAR(n.z / n.w, -1.0f, 1e-4f);
    EXPECT_NEAR(f.z / f.w, 1.0f, 1e-4f);
    // A point above the centre lands in the upper half of the window (y down).
    const glm::vec4 up = p * glm::vec4(0, 1, -5, 1);
    EXPECT_LT(up.y / up.w, 0.0f);
}

TEST(Camera, NarrowProjectionKeepsApparentSizeAtCentre)
{
    CameraRig rig;
    fitCamera(rig.camera, glm::vec3(-1), glm::vec3(1), glm::vec3(0));
    rig.update({0, 0});
    const glm::vec2 wide = project(rig.camera, glm::vec3(1, 0, 0)) - project(rig.camera, glm::vec3(0));
    rig.camera.perspective = false;
    rig.update({0, 0});
    const glm::vec2 narrow = project(rig.camera, glm::vec3(1, 0, 0)) - project(rig.camera, glm::vec3(0));
    EXPECT_NEAR(narrow.x, wide.x, 0.01f * wide.x);
    // The model centre sits between the narrow near and far planes.
    const glm::vec4 c = rig.camera.mvp * glm::vec4(0, 0, 0, 1);
    EXPECT_GT(c.z / c.w, -1.0f);
    EXPECT_LT(c.z / c.w, 1.0f);
}

TEST(Camera, FitPlacesTheBoxInView)
{
    Camera c;
    c.rotation = glm::rotate(glm::mat4(1.0f), 0.5f, glm::vec3(0, 1, 0));
    c.pan = glm::translate(glm::mat4(1.0f), glm::vec3(3, 0, 0));
    fitCamera(c, glm::vec3(1, 2, 3), glm::vec3(3, 6, 4), glm::vec3(2, 4, 3.5f));
    const float r = 4.0f * 0.5f / 0.38200003f;
    EXPECT_FLOAT_EQ(c.radius, r);
    EXPECT_NEAR(c.distance, r / std::tan(c.fov / 2), 1e-4f);
    EXPECT_FLOAT_EQ(c.near, r * 0.03125f);
    EXPECT_FLOAT_EQ(c.far, r * 256.0f);
    EXPECT_FLOAT_EQ(c.farNarrow, r * 1024.0f);
    EXPECT_EQ(c.pan, glm::mat4(1.0f));
    EXPECT_EQ(c.centring * glm::vec4(2, 4, 3.5f, 1), glm::vec4(0, 0, 0, 1));
    // Rotation survives the fit.
    EXPECT_EQ(c.rotation, glm::rotate(glm::mat4(1.0f), 0.5f, glm::vec3(0, 1, 0)));

    // The largest extent spans about 38% of the view height.
    CameraRig rig;
    fitCamera(rig.camera, glm::vec3(0, -1, 0), glm::vec3(0, 1, 0), glm::vec3(0));
    rig.update({0, 0});
    const float span = project(rig.camera, glm::vec3(0, -1, 0)).y - project(rig.camera, glm::vec3(0, 1, 0)).y;
    EXPECT_NEAR(span / H, 0.382f, 0.01f);
}

TEST(Camera, FitOfAnEmptyBoxOnlyResetsThePan)
{
    Camera c;
    c.pan = glm::translate(glm::mat4(1.0f), glm::vec3(3, 0, 0));
    fitCamera(c, glm::vec3(2), glm::vec3(2), glm::vec3(2));
    EXPECT_EQ(c.pan, glm::mat4(1.0f));
    EXPECT_EQ(c.centring, glm::mat4(1.0f));
    EXPECT_EQ(c.distance, 10.0f);
    EXPECT_EQ(c.near, 0.03125f);

    // A flat box still counts.
    fitCamera(c, glm::vec3(0, 0, 0), glm::vec3(2, 2, 0), glm::vec3(1, 1, 0));
    EXPECT_FLOAT_EQ(c.radius, 2.0f * 0.5f / 0.38200003f);
}

TEST(Camera, UniformBlockFollowsTheComposition)
{
    CameraRig rig;
    rig.camera.matcapIndex = 3;
    rig.camera.centring = glm::translate(glm::mat4(1.0f), glm::vec3(-1, 0, 0));
    rig.update({0, 0});
    const glm::mat4 mv = rig.camera.view * rig.camera.centring;
    EXPECT_EQ(rig.ubo.modelview, mv);
    EXPECT_EQ(rig.ubo.proj, rig.camera.proj);
    EXPECT_EQ(rig.camera.mvp, rig.camera.proj * mv);
    EXPECT_EQ(rig.ubo.viewport_size, glm::vec2(W, H));
    EXPECT_EQ(rig.ubo.matcap_index, 3u);
    const glm::mat4 nm = glm::transpose(glm::inverse(mv));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(rig.ubo.nrml_mat[i][j], nm[i][j], 1e-5f);
}

TEST(Camera, RotateDragSamplesAndSpin)
{
    CameraRig rig;
    // A click without motion rotates nothing and leaves no spin.
    cameraMouseButton(rig.camera, rig.mouse, 0, 1, {100, 100});
    age(rig.mouse.rotateTimer, 0.1);
    rig.update({100, 100});
    cameraMouseButton(rig.camera, rig.mouse, 0, 0, {100, 100});
    EXPECT_EQ(rig.camera.rotation, glm::mat4(1.0f));
    EXPECT_EQ(rig.mouse.velocity, glm::vec2(0.0f));

    // Samples closer together than the interval are not taken.
    cameraMouseButton(rig.camera, rig.mouse, 0, 1, {100, 100});
    rig.update({300, 100});
    EXPECT_EQ(rig.camera.rotation, glm::mat4(1.0f));

    // A drag across the full width turns by 1.5 pi about the y axis.
    cameraMouseButton(rig.camera, rig.mouse, 0, 1, {0, 100});
    age(rig.mouse.rotateTimer, 0.5);
    rig.update({W, 100});
    const glm::mat4 expected = glm::rotate(glm::mat4(1.0f), 1.5f * 3.14159265f, glm::vec3(0, 1, 0));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(rig.camera.rotation[i][j], expected[i][j], 1e-4f);
    EXPECT_NEAR(rig.mouse.velocity.x, W / 0.5f, W * 0.05f);

    // Released fast: the spin goes on from the committed rotation...
    cameraMouseButton(rig.camera, rig.mouse, 0, 0, {W, 100});
    EXPECT_EQ(rig.mouse.committedRotation, rig.camera.rotation);
    age(rig.mouse.rotateTimer, 1.0);
    rig.update({W, 100});
    EXPECT_NE(rig.camera.rotation, rig.mouse.committedRotation);
    // ... and ends after 12 seconds, where it stays.
    age(rig.mouse.rotateTimer, 12.5);
    const glm::mat4 before = rig.camera.rotation;
    rig.update({W, 100});
    EXPECT_EQ(rig.mouse.velocity, glm::vec2(0.0f));
    EXPECT_EQ(rig.camera.rotation, before);

    // A slow last sample (at most 5 px) leaves no spin.
    cameraMouseButton(rig.camera, rig.mouse, 0, 1, {10, 10});
    age(rig.mouse.rotateTimer, 0.1);
    rig.update({14, 13});
    cameraMouseButton(rig.camera, rig.mouse, 0, 0, {14, 13});
    EXPECT_EQ(rig.mouse.velocity, glm::vec2(0.0f));
}

TEST(Camera, SpinSweepsTheDecayingAngle)
{
    CameraRig rig;
    rig.mouse.velocity = glm::vec2(0.0f, 100.0f);  // vertical motion: about x
    age(rig.mouse.rotateTimer, 6.0);
    rig.update({0, 0});
    const float c = 0.75f * 3.14159265f * 100.0f / H;
    const float a = (c - c / 12.0f * 0.5f * 6.0f) * 6.0f;
    const glm::mat4 expected = glm::rotate(glm::mat4(1.0f), a, glm::vec3(1, 0, 0));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(rig.camera.rotation[i][j], expected[i][j], 1e-3f);
}

TEST(Camera, PanFollowsTheCursor)
{
    CameraRig rig;
    fitCamera(rig.camera, glm::vec3(-1), glm::vec3(1), glm::vec3(0));
    rig.update({500, 400});
    const glm::vec2 start = project(rig.camera, glm::vec3(0));
    cameraMouseButton(rig.camera, rig.mouse, 1, 1, {500, 400});
    age(rig.mouse.panTimer, 0.1);
    rig.update({560, 370});
    const glm::vec2 moved = project(rig.camera, glm::vec3(0));
    EXPECT_NEAR(moved.x - start.x, 60.0f, 0.5f);
    EXPECT_NEAR(moved.y - start.y, -30.0f, 0.5f);

    // Back onto the press position: the pan stays where it was.
    const glm::mat4 pan = rig.camera.pan;
    age(rig.mouse.panTimer, 0.1);
    rig.update({500, 400});
    EXPECT_EQ(rig.camera.pan, pan);
    cameraMouseButton(rig.camera, rig.mouse, 1, 0, {500, 400});
    EXPECT_FALSE(rig.mouse.panning);
}

TEST(Camera, ZoomAboutCentreOrCursor)
{
    CameraRig rig;
    fitCamera(rig.camera, glm::vec3(-1), glm::vec3(1), glm::vec3(0));
    rig.update({0, 0});
    const glm::vec2 centre = project(rig.camera, glm::vec3(0));

    // Without Ctrl the centre stays put and the model grows by the factor.
    const glm::vec2 edgeBefore = project(rig.camera, glm::vec3(1, 0, 0));
    rig.mouse.zoomFactor = ZoomInFactor;
    rig.update({100, 100});
    EXPECT_EQ(rig.mouse.zoomFactor, 1.0f);
    EXPECT_NEAR(project(rig.camera, glm::vec3(0)).x, centre.x, 0.01f);
    EXPECT_NEAR(project(rig.camera, glm::vec3(1, 0, 0)).x - centre.x, (edgeBefore.x - centre.x) * ZoomInFactor,
                0.05f);

    // With Ctrl the scene point under the cursor stays under it.
    const glm::vec2 cursor(700, 250);
    const float k = rig.camera.distance * std::tan(rig.camera.fov / 2) / (H / 2);
    const glm::vec3 scenePoint((cursor.x - W / 2) * k, -(cursor.y - H / 2) * k, 0.0f);
    const glm::mat4 inv = glm::inverse(rig.camera.rotation * rig.camera.zoomScale * rig.camera.centring);
    const glm::vec3 modelPoint = glm::vec3(inv * glm::vec4(scenePoint, 1.0f));
    ASSERT_NEAR(project(rig.camera, modelPoint).x, cursor.x, 0.5f);
    for (int step = 0; step < 3; ++step) {
        rig.mouse.zoomFactor = step == 1 ? ZoomOutFactor : ZoomInFactor;
        rig.mouse.zoomAtCursor = true;
        rig.update(cursor);
        EXPECT_NEAR(project(rig.camera, modelPoint).x, cursor.x, 0.5f);
        EXPECT_NEAR(project(rig.camera, modelPoint).y, cursor.y, 0.5f);
    }
}
