// Entry of tamrel-bench: logger set-up and command dispatch.

#include "Bench.h"

#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace {

struct BenchCommand {
    std::string usage;
    BenchCommandFn run;
};

std::map<std::string, BenchCommand>& commands()
{
    static std::map<std::string, BenchCommand> table;
    return table;
}

void printUsage()
{
    std::fprintf(stderr, "usage:\n");
    for (const auto& [name, cmd] : commands()) {
        std::fprintf(stderr, "  tamrel-bench %s %s\n", name.c_str(), cmd.usage.c_str());
    }
}

} // namespace

bool registerBenchCommand(const char* name, const char* usage, BenchCommandFn run)
{
    commands()[name] = {usage, run};
    return true;
}

double benchPeakRssMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

int main(int argc, char** argv)
{
    // Log lines go to standard error so that standard output keeps the
    // figures (and the timers' lines).
    auto logger = std::make_shared<spdlog::logger>(
        "tamrel_log", std::make_shared<spdlog::sinks::stderr_color_sink_mt>());
    logger->set_level(spdlog::level::info);
    spdlog::register_logger(logger);

    if (argc < 2 || !commands().count(argv[1])) {
        printUsage();
        return 2;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        return commands()[argv[1]].run(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tamrel-bench: %s\n", e.what());
        return 1;
    }
}
