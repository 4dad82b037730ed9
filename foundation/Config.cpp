#include "Config.h"

#include "StringUtils.h"

#include <nlohmann/json.hpp>
#include <spdlog/spdlog.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

std::string getExecutableDir()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) throw std::runtime_error("@getExecutableDir: " + ec.message());
    return exe.parent_path().string();
}

const fs::path PathExeDir = getExecutableDir();
const fs::path PathConfig = PathExeDir / "config" / "default.json";
const fs::path PathLogo = PathExeDir / "resources" / "logo" / "icon512.png";
fs::path PathTexturePack = PathExeDir / "resources" / "textures" / "default.ktx";
fs::path PathScreenshots = PathExeDir / "screenshots";

int WindowWidth = 1024;
int WindowHeight = 768;
std::atomic<bool> MergeDuplicateVertices{true};
std::atomic<bool> ComputeVertexNormals{true};
std::atomic<bool> CheckManifoldness{true};
int GpuSelectIdx = 0;

namespace {
std::unique_ptr<nlohmann::json> ConfigDocument;

const nlohmann::json& valueOf(const std::string& key)
{
    return ConfigDocument->at(key);
}

// A window needs a positive size; anything else would only fail later
// inside the window system.
void setWindowSize(int& target, const char* key)
{
    const int value = configGetInt(key);
    if (value > 0) {
        target = value;
        return;
    }
    if (auto logger = spdlog::get("tamrel_log")) {
        logger->warn("Config value {} = {} is not a positive size, keeping {}.", key, value, target);
    }
}
} // namespace

nlohmann::json* configDocument()
{
    return ConfigDocument.get();
}

void loadConfigFile(const std::string& path)
{
    std::ifstream stream(path);
    if (!stream.is_open()) throw std::runtime_error(stringFormat("can not open file: %s", path.c_str()));
    ConfigDocument = std::make_unique<nlohmann::json>();
    *ConfigDocument = nlohmann::json::parse(stream);
}

bool configHasKey(const std::string& key)
{
    return ConfigDocument && ConfigDocument->is_object() && ConfigDocument->contains(key);
}

int configGetInt(const std::string& key)
{
    return valueOf(key).get<int>();
}

bool configGetBool(const std::string& key)
{
    return valueOf(key).get<bool>();
}

std::string configGetString(const std::string& key)
{
    return valueOf(key).get<std::string>();
}

void loadConfig()
{
    loadConfigFrom(PathConfig);
}

void loadConfigFrom(const fs::path& configPath)
{
    loadConfigFile(fs::absolute(configPath).string());

    if (configHasKey("WindowWidth")) setWindowSize(WindowWidth, "WindowWidth");
    if (configHasKey("WindowHeight")) setWindowSize(WindowHeight, "WindowHeight");
    if (configHasKey("MergeDuplicateVertices")) MergeDuplicateVertices = configGetBool("MergeDuplicateVertices");
    if (configHasKey("ComputeVertexNormals")) ComputeVertexNormals = configGetBool("ComputeVertexNormals");
    if (configHasKey("CheckManifoldness")) CheckManifoldness = configGetBool("CheckManifoldness");
    if (configHasKey("GpuSelectIdx")) GpuSelectIdx = configGetInt("GpuSelectIdx");
    if (configHasKey("PathScreenshots")) PathScreenshots = fs::absolute(configGetString("PathScreenshots"));
    if (configHasKey("PathTexturePack")) PathTexturePack = fs::absolute(configGetString("PathTexturePack"));

    if (!fs::is_directory(PathScreenshots)) fs::create_directory(PathScreenshots);
    if (!fs::is_regular_file(PathTexturePack)) {
        throw std::runtime_error(
            stringFormat("can not find texture pack <%s>.", PathTexturePack.string().c_str()));
    }
}
