// Stand-in construction of the overlay while its back end is not built.
#include "UiDrawer.h"

UiDrawer::UiDrawer(bool clearOnLoad, bool presentAfter, uint32_t renderTarget, uint32_t framebufferIndex)
    : clearOnLoad(clearOnLoad), presentAfter(presentAfter), renderTarget(renderTarget),
      framebufferIndex(framebufferIndex)
{
}

UiDrawer::~UiDrawer() = default;
