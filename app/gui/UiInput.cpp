// The GUI's side of the input hand-over: key map, keys, mouse buttons,
// wheel, the reset of held input and the clipboard.

#include "UiDrawer.h"

#include <GLFW/glfw3.h>
#include <imgui.h>

#include <algorithm>
#include <iterator>

void UiDrawer::installInputBridge()
{
    ImGuiIO& io = ImGui::GetIO();
    io.KeyMap[ImGuiKey_Tab] = GLFW_KEY_TAB;
    io.KeyMap[ImGuiKey_LeftArrow] = GLFW_KEY_LEFT;
    io.KeyMap[ImGuiKey_RightArrow] = GLFW_KEY_RIGHT;
    io.KeyMap[ImGuiKey_UpArrow] = GLFW_KEY_UP;
    io.KeyMap[ImGuiKey_DownArrow] = GLFW_KEY_DOWN;
    io.KeyMap[ImGuiKey_PageUp] = GLFW_KEY_PAGE_UP;
    io.KeyMap[ImGuiKey_PageDown] = GLFW_KEY_PAGE_DOWN;
    io.KeyMap[ImGuiKey_Home] = GLFW_KEY_HOME;
    io.KeyMap[ImGuiKey_End] = GLFW_KEY_END;
    io.KeyMap[ImGuiKey_Delete] = GLFW_KEY_DELETE;
    io.KeyMap[ImGuiKey_Backspace] = GLFW_KEY_BACKSPACE;
    io.KeyMap[ImGuiKey_Enter] = GLFW_KEY_ENTER;
    io.KeyMap[ImGuiKey_Escape] = GLFW_KEY_ESCAPE;
    io.KeyMap[ImGuiKey_A] = GLFW_KEY_A;
    io.KeyMap[ImGuiKey_C] = GLFW_KEY_C;
    io.KeyMap[ImGuiKey_V] = GLFW_KEY_V;
    io.KeyMap[ImGuiKey_X] = GLFW_KEY_X;
    io.KeyMap[ImGuiKey_Y] = GLFW_KEY_Y;
    io.KeyMap[ImGuiKey_Z] = GLFW_KEY_Z;
    io.ClipboardUserData = window;
    io.GetClipboardTextFn = getClipboardText;
    io.SetClipboardTextFn = setClipboardText;
}

void UiDrawer::onKey(int key, int action, int /*mods*/)
{
    ImGuiIO& io = ImGui::GetIO();
    if (key >= 0 && key < static_cast<int>(std::size(io.KeysDown))) {
        if (action == GLFW_PRESS) io.KeysDown[key] = true;
        if (action == GLFW_RELEASE) io.KeysDown[key] = false;
    }
    // From the table, not from the event's bits: left and right count alike.
    io.KeyCtrl = io.KeysDown[GLFW_KEY_LEFT_CONTROL] || io.KeysDown[GLFW_KEY_RIGHT_CONTROL];
    io.KeyShift = io.KeysDown[GLFW_KEY_LEFT_SHIFT] || io.KeysDown[GLFW_KEY_RIGHT_SHIFT];
    io.KeyAlt = io.KeysDown[GLFW_KEY_LEFT_ALT] || io.KeysDown[GLFW_KEY_RIGHT_ALT];
    io.KeySuper = io.KeysDown[GLFW_KEY_LEFT_SUPER] || io.KeysDown[GLFW_KEY_RIGHT_SUPER];
}

void UiDrawer::onMouseButton(int button, int action, int /*mods*/)
{
    if (button < 0 || button > 2) return;
    ImGuiIO& io = ImGui::GetIO();
    if (action == GLFW_PRESS) {
        io.MouseDown[button] = true;
        pressUnseen[button] = true;
        releaseDeferred[button] = false;
    } else if (action == GLFW_RELEASE) {
        // The library reads the buttons once per frame: a release before
        // the press was seen would swallow the click.
        if (pressUnseen[button]) {
            releaseDeferred[button] = true;
        } else {
            io.MouseDown[button] = false;
        }
    }
}

void UiDrawer::applyDeferredReleases()
{
    ImGuiIO& io = ImGui::GetIO();
    for (int b = 0; b < 3; ++b) {
        if (releaseDeferred[b]) io.MouseDown[b] = false;
        releaseDeferred[b] = false;
        pressUnseen[b] = false;
    }
}

void UiDrawer::onScroll(double /*xOffset*/, double yOffset)
{
    wheelDelta += static_cast<float>(yOffset);
}

void UiDrawer::resetInput()
{
    ImGuiIO& io = ImGui::GetIO();
    std::fill(std::begin(io.MouseDown), std::end(io.MouseDown), false);
    std::fill(std::begin(io.KeysDown), std::end(io.KeysDown), false);
    io.KeyCtrl = io.KeyShift = io.KeyAlt = io.KeySuper = false;
    std::fill(std::begin(pressUnseen), std::end(pressUnseen), false);
    std::fill(std::begin(releaseDeferred), std::end(releaseDeferred), false);
}

const char* UiDrawer::getClipboardText(void* userData)
{
    return glfwGetClipboardString(static_cast<GLFWwindow*>(userData));
}

void UiDrawer::setClipboardText(void* userData, const char* text)
{
    glfwSetClipboardString(static_cast<GLFWwindow*>(userData), text);
}
