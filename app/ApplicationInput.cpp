// Window input callbacks: they feed the GUI overlay while it wants the
// keyboard or the mouse, and otherwise drive the camera or set
// pending-action bits; the work itself happens in the main loop.

#include "Application.h"

#include <GLFW/glfw3.h>
#include <imgui.h>

namespace {

Application& app(GLFWwindow* window)
{
    return *static_cast<Application*>(glfwGetWindowUserPointer(window));
}

glm::vec2 cursorOf(GLFWwindow* window)
{
    double x = 0, y = 0;
    glfwGetCursorPos(window, &x, &y);
    return {static_cast<float>(x), static_cast<float>(y)};
}

} // namespace

void Application::keyCallback(GLFWwindow* window, int key, int /*scancode*/, int action, int mods)
{
    app(window).onKey(key, action, mods);
}

void Application::onKey(int key, int action, int mods)
{
    const bool captured = uiDrawer.wantCaptureKeyboard;
    if (captured) uiDrawer.onKey(key, action, mods);
    // A modifier let go while typing is no longer held in the 3-D view
    // either; its press while typing stays unseen there.
    if (action == GLFW_RELEASE || (action == GLFW_PRESS && !captured)) {
        const uint8_t held = action == GLFW_PRESS ? 1 : 0;
        switch (key) {
        case GLFW_KEY_LEFT_SHIFT:
        case GLFW_KEY_RIGHT_SHIFT: shiftHeld = held; break;
        case GLFW_KEY_LEFT_CONTROL:
        case GLFW_KEY_RIGHT_CONTROL: ctrlHeld = held; break;
        case GLFW_KEY_LEFT_ALT:
        case GLFW_KEY_RIGHT_ALT: altHeld = held; break;
        default: break;
        }
    }
    if (captured) return;
    if (action != GLFW_PRESS || key < GLFW_KEY_SPACE || key > GLFW_KEY_TAB) return;

    namespace PA = PendingAction;
    switch (key) {
    case GLFW_KEY_SPACE: pendingActions |= PA::ScreenshotRequested; break;
    case GLFW_KEY_R: pendingActions |= PA::ResetView; break;
    case GLFW_KEY_TAB: pendingActions |= PA::SwitchStyle; break;
    case GLFW_KEY_V: pendingActions |= PA::ToggleProjection; break;
    case GLFW_KEY_G: pendingActions |= shiftHeld ? PA::ToggleWireframe : PA::ToggleGrid; break;
    case GLFW_KEY_L: pendingActions |= PA::ToggleSketchMode; break;
    case GLFW_KEY_N: pendingActions |= PA::ToggleNormals; break;
    case GLFW_KEY_O: pendingActions |= PA::ToggleBoundaryEdges; break;
    case GLFW_KEY_I: pendingActions |= PA::ToggleComplexEdges; break;
    case GLFW_KEY_X: pendingActions |= PA::ToggleAxis; break;
    case GLFW_KEY_B: pendingActions |= PA::ToggleBoundingBox; break;
    default: break;
    }
}

void Application::mouseButtonCallback(GLFWwindow* window, int button, int action, int /*mods*/)
{
    app(window).onMouseButton(button, action, cursorOf(window));
}

void Application::onMouseButton(int button, int action, glm::vec2 cursor)
{
    // A drag that began in the 3-D view keeps the mouse over GUI windows.
    const MouseControl& mouse = meshDrawer.mouseControl;
    if (!mouse.rotating && !mouse.panning && uiDrawer.wantCaptureMouse) {
        uiDrawer.onMouseButton(button, action, 0);
        return;
    }
    uiDrawer.resetInput();
    meshDrawer.onMouseButton(button, action, cursor);
}

void Application::scrollCallback(GLFWwindow* window, double xOffset, double yOffset)
{
    app(window).onScroll(xOffset, yOffset);
}

void Application::onScroll(double xOffset, double yOffset)
{
    if (uiDrawer.wantCaptureMouse) {
        uiDrawer.onScroll(xOffset, yOffset);
        return;
    }
    // A purely horizontal scroll zooms out, as a downward one does.
    MouseControl& mouse = meshDrawer.mouseControl;
    mouse.zoomFactor = yOffset > 0 ? ZoomInFactor : ZoomOutFactor;
    mouse.zoomAtCursor = ctrlHeld != 0;
}

void Application::windowFocusCallback(GLFWwindow* window, int focused)
{
    app(window).onFocus(focused != 0, cursorOf(window));
}

void Application::onFocus(bool gained, glm::vec2 cursor)
{
    focused = gained ? 1 : 0;
    if (gained) return;
    // Releases that happen elsewhere never arrive: nothing stays held.
    uiDrawer.resetInput();
    altHeld = ctrlHeld = shiftHeld = 0;
    // Losing the focus ends both drags as their button releases would.
    if (meshDrawer.mouseControl.rotating) meshDrawer.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, cursor);
    if (meshDrawer.mouseControl.panning) meshDrawer.onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, cursor);
}

void Application::dropCallback(GLFWwindow* window, int count, const char** paths)
{
    app(window).onDrop(count, paths);
}

void Application::onDrop(int count, const char** paths)
{
    // A drop gives the focus back at once, so the next iteration is a focused one.
    focused = 1;
    for (int i = 0; i < count; ++i) {
        if (paths[i] && document.isSupportedFileExtension(paths[i])) {
            uiDrawer.modelPath = paths[i];
            pendingActions |= PendingAction::LoadRequested;
            return;
        }
    }
}

void Application::charCallback(GLFWwindow* /*window*/, unsigned int codePoint)
{
    // Characters always reach the GUI library, which uses them only while a
    // text field is active.
    if (codePoint >= 1 && codePoint <= 0xFFFF) ImGui::GetIO().AddInputCharacter(codePoint);
}
