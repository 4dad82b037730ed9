#include "PanelRules.h"

#include "PendingActions.h"

#include <spdlog/logger.h>

#include <algorithm>
#include <cstring>

namespace panels {

bool saveEnabled(uint64_t pendingActions, const std::string& modelPath)
{
    using namespace PendingAction;
    return !(pendingActions & (LoadRunning | SaveRunning)) && !modelPath.empty();
}

std::string saveProposal(const std::string& modelPath, const std::string& extension)
{
    return modelPath + "." + extension;
}

bool showsSizeRatio(int32_t remeshType)
{
    return remeshType != 0;
}

bool remeshButtonsDisabled(uint64_t pendingActions)
{
    return (pendingActions & PendingAction::RemeshRunning) != 0;
}

std::shared_ptr<gui_log_sink_mt> guiLogSink(const spdlog::logger* logger)
{
    if (!logger) return nullptr;
    for (const auto& sink : logger->sinks()) {
        if (auto gui = std::dynamic_pointer_cast<gui_log_sink_mt>(sink)) return gui;
    }
    return nullptr;
}

std::string logCopyText(const std::vector<std::string>& messages)
{
    std::string text;
    text.reserve(messages.size() * 80);
    for (const std::string& message : messages) {
        text += ">> ";
        text += message;
        text += '\n';
    }
    return text;
}

void fillPathBuffer(const std::filesystem::path& path, char* buffer, std::size_t size)
{
    if (size == 0) return;
    const std::string text = path.string();
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

} // namespace panels
