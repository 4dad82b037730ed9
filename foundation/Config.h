#pragma once
// Where the run-time files live and the settings read from config/default.json.
// The path globals are built before main under the executable's directory;
// loadConfig runs once on the main thread during start-up.

#include <atomic>
#include <filesystem>
#include <string>

#include <nlohmann/json_fwd.hpp>

std::string getExecutableDir();

extern const std::filesystem::path PathExeDir;
extern const std::filesystem::path PathConfig;
extern const std::filesystem::path PathLogo;
extern std::filesystem::path PathTexturePack;
extern std::filesystem::path PathScreenshots;

extern int WindowWidth;
extern int WindowHeight;
// Read by document tasks on worker threads while the menu may change them.
extern std::atomic<bool> MergeDuplicateVertices;
extern std::atomic<bool> ComputeVertexNormals;
extern std::atomic<bool> CheckManifoldness;
extern int GpuSelectIdx;

// The parsed configuration; null until the first loadConfigFile.
nlohmann::json* configDocument();

void loadConfig();
// loadConfig on another file; lets tests use their own configurations.
void loadConfigFrom(const std::filesystem::path& configPath);
void loadConfigFile(const std::string& path);
bool configHasKey(const std::string& key);
int configGetInt(const std::string& key);
bool configGetBool(const std::string& key);
std::string configGetString(const std::string& key);
