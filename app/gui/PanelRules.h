#pragma once
// The decisions of the menu bar and the panels, as small functions of state
// so that they can be checked without a window.

#include "GuiLogSink.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace spdlog {
class logger;
}

namespace panels {

// Save items: no load or save task running, and a model on screen.
bool saveEnabled(uint64_t pendingActions, const std::string& modelPath);
// The whole current path, its own extension included, then the export one.
std::string saveProposal(const std::string& modelPath, const std::string& extension);

constexpr float MinDensity = 0.5f;
constexpr float MaxDensity = 10.0f;
constexpr float MinSizeRatio = 1.0f;
constexpr float MaxSizeRatio = 10.0f;

// The size ratio is shown, and kept in range, for adaptive remeshing only.
bool showsSizeRatio(int32_t remeshType);
// Remesh, Smooth, Apply and Restore wait while a remesh or smooth runs.
bool remeshButtonsDisabled(uint64_t pendingActions);

// The GUI log sink among the logger's sinks, or null.
std::shared_ptr<gui_log_sink_mt> guiLogSink(const spdlog::logger* logger);
// The log window's text for the clipboard.
std::string logCopyText(const std::vector<std::string>& messages);

// The screenshot folder as the folder field shows it: at most size - 1
// bytes, zero-terminated.
void fillPathBuffer(const std::filesystem::path& path, char* buffer, std::size_t size);

} // namespace panels
