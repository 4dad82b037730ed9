// Stand-in construction of the overlay while its back end is not built: like
// the real one, it owns an ImGui context.
#include "UiDrawer.h"

#include <imgui.h>

UiDrawer::UiDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t framebufferIndex)
    : clearOnLoad(clearOnLoad), presentAfter(presentAfter), renderTarget(renderTarget),
      framebufferIndex(framebufferIndex)
{
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
}

UiDrawer::~UiDrawer()
{
    ImGui::DestroyContext();
}
