// Placeholders for the menu bar and the panels until they are built.
#include "UiDrawer.h"

void UiDrawer::drawMenuBar() {}
void UiDrawer::drawRemeshPanel(bool*) {}
void UiDrawer::drawScreenshotAndLogButtons() {}
void UiDrawer::drawLogWindow(bool*) {}
void UiDrawer::openModelFileDialog(int, const char* const*) {}
void openUrl(std::string) {}
