// Program entry: logging, configuration, the application, exit codes.

#include "Application.h"
#include "Config.h"
#include "GuiLogSink.h"

#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {
// Components fetch the logger by name; after a logging failure they still
// need one, so a console-only logger takes its place.
void registerFallbackLogger()
{
    try {
        if (!spdlog::get("tamrel_log")) {
            auto logger = std::make_shared<spdlog::logger>(
                "tamrel_log", std::make_shared<spdlog::sinks::stdout_color_sink_mt>());
            logger->set_level(spdlog::level::info);
            spdlog::register_logger(logger);
        }
    } catch (const std::exception&) {
    }
}
} // namespace

int main(int argc, char** argv)
{
    try {
        auto console = std::make_shared<spdlog::sinks::stdout_color_sink_mt>();
        auto gui = std::make_shared<gui_log_sink_mt>();
        auto logger = std::make_shared<spdlog::logger>("tamrel_log", spdlog::sinks_init_list{console, gui});
        logger->set_level(spdlog::level::info);
        spdlog::register_logger(logger);
        loadConfig();
    } catch (const spdlog::spdlog_ex& e) {
        std::fprintf(stderr, "Log initialization failed: %s\n", e.what());
        registerFallbackLogger();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    std::vector<std::string> args(argv + 1, argv + argc);

    // The application is destroyed (cleanup, then its members) before the
    // exit code is returned on every path.
    std::optional<Application> app;
    try {
        app.emplace();
        app->run(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        app.reset();
        return 1;
    } catch (...) {
        std::fprintf(stderr, "unknown exception caught.\n");
        app.reset();
        return 1;
    }
    app.reset();
    return 0;
}
