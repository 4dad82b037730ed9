#include "VulkanCommon.h"

#include <spdlog/spdlog.h>

spdlog::logger& renderLogger()
{
    static std::shared_ptr<spdlog::logger> logger;
    if (!logger) logger = spdlog::get("tamrel_log");
    // Without the shared logger (start-up before logging exists) fall back
    // to spdlog's default one rather than dereferencing nothing.
    return logger ? *logger : *spdlog::default_logger();
}
