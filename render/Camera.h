#pragma once
// The view state of the mesh drawer: shading mode, projection and the
// matrices of the model-view transform (Camera), the rotate/pan/zoom drag
// state (MouseControl) and the host copy of the mesh shaders' uniform block
// (TransformUbo). Plain records, used on the main thread only.

#include "Timer.h"

#include <glm/glm.hpp>

#include <cstdint>

namespace ShadingMode {
constexpr uint32_t Wireframe = 0;
constexpr uint32_t Matcap = 1;
constexpr uint32_t MatcapEdge = 2;
constexpr uint32_t Phong = 3;
constexpr uint32_t PhongEdge = 4;
} // namespace ShadingMode

struct Camera {
    Camera();

    uint32_t shadingMode = ShadingMode::Phong;
    bool edgeDetection = false;  // sketch mode
    bool perspective = true;
    uint32_t matcapIndex = 0;
    float fov = 1.0471976f;         // pi / 3
    float narrowFov = 0.017453292f; // pi / 180
    float distance = 10.0f;
    float near = 0.03125f;
    float far = 256.0f;
    float radius = 1.0f;            // also the near plane of the narrow projection
    float farNarrow = 1024.0f;
    glm::mat4 zoomScale;
    glm::mat4 rotation;
    glm::mat4 pan;
    glm::mat4 centring;
    glm::mat4 view;
    glm::mat4 proj;
    glm::mat4 mvp;
};

struct MouseControl {
    MouseControl();

    bool rotating = false;
    float rotateInterval = 0.05f;
    Timer rotateTimer;
    glm::vec2 lastCursor{0.0f, 0.0f};
    glm::vec2 velocity{0.0f, 0.0f};  // pixels per second; zero means no spin
    glm::mat4 committedRotation;
    bool panning = false;
    float panInterval = 0.025f;
    Timer panTimer;
    glm::vec2 pressCursor{0.0f, 0.0f};
    glm::mat4 panAtPress;
    float zoomFactor = 1.0f;
    bool zoomAtCursor = false;
};

// Host copy of the shaders' UniformBufferObject (std140 offsets 0, 64, 128,
// 192, 200).
struct TransformUbo {
    TransformUbo();

    glm::mat4 proj;
    glm::mat4 modelview;
    glm::mat4 nrml_mat;
    glm::vec2 viewport_size;
    uint32_t matcap_index = 0;
};
static_assert(sizeof(TransformUbo) == 204, "TransformUbo must match the shader block");

// The pending zoom factors of one scroll step in and out.
constexpr float ZoomInFactor = 1.05f;
constexpr float ZoomOutFactor = 0.952381f;

// Projection for a w x h viewport: perspective or the narrow-angle look-alike
// of an orthographic view, GL clip depth, y pointing down.
glm::mat4 cameraProjection(const Camera& camera, float width, float height);

// One frame of camera motion: projection, rotate drag or spin, pan, pending
// zoom, then the composed matrices into ubo and camera.mvp.
void updateCameraState(Camera& camera, MouseControl& mouse, TransformUbo& ubo, glm::vec2 cursor,
                       float width, float height);

// Starts or ends a drag: button 0 left (rotate), 1 right (pan); action 1
// press, 0 release (the GLFW codes).
void cameraMouseButton(Camera& camera, MouseControl& mouse, int button, int action, glm::vec2 cursor);

// With reset: clears the pan and, for a box with a positive extent, centres
// the model and places the eye so that the box's largest extent spans about
// 38% of the view height. Rotation and zoom are left as they are.
void fitCamera(Camera& camera, const glm::vec3& boxMin, const glm::vec3& boxMax, const glm::vec3& centre);
