#include "Camera.h"

#include "Config.h"

#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>

namespace {

constexpr float Pi = 3.14159265358979f;
// Seconds an inertial spin lasts after the last drag sample.
constexpr float SpinSeconds = 12.0f;
// A drag sample must move more than this many pixels to leave a spin behind.
constexpr float SpinThresholdPixels = 5.0f;

void restart(Timer& timer)
{
    timer.start = Timer::nowNs();
}

glm::mat4 rotationAbout(const glm::vec3& angles)
{
    const float angle = glm::length(angles);
    return glm::rotate(glm::mat4(1.0f), angle, angles / angle);
}

} // namespace

Camera::Camera()
    : zoomScale(1.0f), rotation(1.0f), pan(1.0f), centring(1.0f),
      view(glm::lookAt(glm::vec3(0, 0, 10), glm::vec3(0, 0, 1), glm::vec3(0, 1, 0))), proj(1.0f),
      mvp(1.0f)
{}

MouseControl::MouseControl() : committedRotation(1.0f), panAtPress(1.0f) {}

TransformUbo::TransformUbo()
    : proj(1.0f), modelview(1.0f), nrml_mat(1.0f),
      viewport_size(static_cast<float>(WindowWidth), static_cast<float>(WindowHeight))
{}

glm::mat4 cameraProjection(const Camera& camera, float width, float height)
{
    const float aspect = width / height;
    glm::mat4 p;
    if (camera.perspective) {
        p = glm::perspective(camera.fov, aspect, camera.near, camera.far);
    } else {
        // Move the scene away so that the narrow view shows the same extent
        // at the model centre as the perspective one.
        const float shift = camera.distance -
                            camera.distance * std::tan(camera.fov / 2) / std::tan(camera.narrowFov / 2);
        p = glm::perspective(camera.narrowFov, aspect, camera.radius, camera.farNarrow) *
            glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, shift));
    }
    p[1] = -p[1];
    return p;
}

void updateCameraState(Camera& camera, MouseControl& mouse, TransformUbo& ubo, glm::vec2 cursor,
                       float width, float height)
{
    camera.proj = cameraProjection(camera, width, height);

    if (mouse.rotating) {
        float dx = 0.0f, dy = 0.0f;
        const float t = mouse.rotateTimer.elapsedSeconds();
        if (t >= mouse.rotateInterval) {
            if (cursor != mouse.lastCursor) {
                dx = cursor.x - mouse.lastCursor.x;
                dy = cursor.y - mouse.lastCursor.y;
                mouse.lastCursor = cursor;
                const bool fast = std::abs(dx) > SpinThresholdPixels || std::abs(dy) > SpinThresholdPixels;
                mouse.velocity = fast ? glm::vec2(dx / t, dy / t) : glm::vec2(0.0f);
                restart(mouse.rotateTimer);
            } else {
                mouse.velocity = glm::vec2(0.0f);
            }
        }
        const glm::vec3 a(1.5f * Pi * dy / height, 1.5f * Pi * dx / width, 0.0f);
        if (glm::dot(a, a) > 0.0f) camera.rotation = rotationAbout(a) * camera.rotation;
    } else if (mouse.velocity != glm::vec2(0.0f)) {
        const float t = mouse.rotateTimer.elapsedSeconds();
        if (t > SpinSeconds) {
            mouse.velocity = glm::vec2(0.0f);
        } else {
            // The angular speed falls linearly from c to zero over the spin.
            const glm::vec2 c(0.75f * Pi * mouse.velocity.y / height, 0.75f * Pi * mouse.velocity.x / width);
            const glm::vec2 a = (c - (c / SpinSeconds) * 0.5f * t) * t;
            if (glm::dot(a, a) > 0.0f) {
                camera.rotation = rotationAbout(glm::vec3(a, 0.0f)) * mouse.committedRotation;
            }
        }
    }

    if (mouse.panning && mouse.panTimer.elapsedSeconds() >= mouse.panInterval &&
        cursor != mouse.pressCursor) {
        restart(mouse.panTimer);
        const float s = 2.0f * camera.distance * std::tan(camera.fov / 2) / height;
        camera.pan = mouse.panAtPress * glm::translate(glm::mat4(1.0f),
                                                       glm::vec3((cursor.x - mouse.pressCursor.x) * s,
                                                                 -(cursor.y - mouse.pressCursor.y) * s, 0.0f));
    }

    const float f = mouse.zoomFactor;
    if (f != 1.0f) {
        camera.zoomScale = camera.zoomScale * glm::scale(glm::mat4(1.0f), glm::vec3(f));
        if (mouse.zoomAtCursor) {
            // Shift the pan so that the scene point under the cursor stays put.
            const float k = camera.distance * std::tan(camera.fov / 2) / (height / 2);
            const float cx = cursor.x - width / 2;
            const float cy = cursor.y - height / 2;
            const float tx = camera.pan[3][0];
            const float ty = camera.pan[3][1];
            camera.pan = camera.pan * glm::translate(glm::mat4(1.0f),
                                                     glm::vec3(-(cx * k - tx) * (f - 1.0f),
                                                               -(-cy * k - ty) * (f - 1.0f), 0.0f));
        }
        mouse.zoomFactor = 1.0f;
    }

    const glm::mat4 modelview = camera.pan * camera.view * camera.rotation * camera.zoomScale * camera.centring;
    ubo.proj = camera.proj;
    ubo.modelview = modelview;
    ubo.nrml_mat = glm::inverseTranspose(modelview);
    ubo.viewport_size = glm::vec2(width, height);
    ubo.matcap_index = camera.matcapIndex;
    camera.mvp = camera.proj * modelview;
}

void cameraMouseButton(Camera& camera, MouseControl& mouse, int button, int action, glm::vec2 cursor)
{
    if (button == 0) {
        if (action == 1) {
            mouse.rotating = true;
            restart(mouse.rotateTimer);
            mouse.velocity = glm::vec2(0.0f);
            mouse.lastCursor = cursor;
        } else if (action == 0) {
            mouse.rotating = false;
            mouse.committedRotation = camera.rotation;
        }
    } else if (button == 1) {
        if (action == 1) {
            mouse.panning = true;
            mouse.pressCursor = cursor;
            mouse.panAtPress = camera.pan;
        } else if (action == 0) {
            mouse.panning = false;
        }
    }
}

void fitCamera(Camera& camera, const glm::vec3& boxMin, const glm::vec3& boxMax, const glm::vec3& centre)
{
    camera.pan = glm::mat4(1.0f);
    const glm::vec3 e = boxMax - boxMin;
    if (!(e.x > 0.0f || e.y > 0.0f || e.z > 0.0f)) return;
    camera.centring = glm::translate(glm::mat4(1.0f), -centre);
    const float r = std::max(e.x, std::max(e.y, e.z)) * 0.5f / 0.38200003f;
    const float d = r / std::tan(camera.fov / 2);
    camera.distance = d;
    camera.view = glm::lookAt(glm::vec3(0, 0, d), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0));
    camera.near = r * 0.03125f;
    camera.far = r * 256.0f;
    camera.radius = r;
    camera.farNarrow = r * 1024.0f;
}
