#include "MeshTestSupport.h"

#include "CaptureSink.h"
#include "Config.h"

#include <gtest/gtest.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include <unistd.h>

const std::string ModelDir = "/usr/share/assimp/models";

namespace {


std::shared_ptr<CaptureSink> captureSink;

std::filesystem::path scratchRoot()
{
    return std::filesystem::temp_directory_path() / ("tamrel_mesh_tests_" + std::to_string(::getpid()));
}

// The application registers "tamrel_log" in main; the tests do it here.
class LoggerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        captureSink = std::make_shared<CaptureSink>();
        auto logger = std::make_shared<spdlog::logger>("tamrel_log", captureSink);
        logger->set_level(spdlog::level::debug);
        spdlog::register_logger(logger);
    }
    void TearDown() override
    {
        spdlog::drop("tamrel_log");
        std::error_code ec;
        std::filesystem::remove_all(scratchRoot(), ec);
    }
};

const auto* environment = ::testing::AddGlobalTestEnvironment(new LoggerEnvironment);

} // namespace

namespace testlog {
void clear() { captureSink->clear(); }
std::vector<std::string> messages() { return captureSink->copy(); }
size_t count(const std::string& text)
{
    const auto lines = messages();
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(text) != std::string::npos;
    }));
}
bool contains(const std::string& text) { return count(text) > 0; }
} // namespace testlog

MeshVertex record(float x, float y, float z)
{
    return MeshVertex{{x, y, z}, {0, 0, 0}, {0.6f, 0.7f, 0.8f}, {0, 0}};
}

std::vector<MeshVertex> records(const std::vector<std::array<float, 3>>& positions)
{
    std::vector<MeshVertex> out;
    for (const auto& p : positions) out.push_back(record(p[0], p[1], p[2]));
    return out;
}

void tetrahedron(std::vector<MeshVertex>& v, std::vector<uint32_t>& i)
{
    v = records({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    i = {0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3};
}

void unitCube(std::vector<MeshVertex>& v, std::vector<uint32_t>& i)
{
    v = records({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}});
    i = {0, 2, 1, 0, 3, 2,   // z = 0, facing -z
         4, 5, 6, 4, 6, 7,   // z = 1
         0, 1, 5, 0, 5, 4,   // y = 0
         3, 7, 6, 3, 6, 2,   // y = 1
         0, 4, 7, 0, 7, 3,   // x = 0
         1, 2, 6, 1, 6, 5};  // x = 1
}

void fanOnEdge(uint32_t k, std::vector<MeshVertex>& v, std::vector<uint32_t>& i)
{
    v = records({{0, 0, 0}, {1, 0, 0}});
    i.clear();
    for (uint32_t t = 0; t < k; ++t) {
        const float angle = static_cast<float>(t) * 6.2831853f / static_cast<float>(k);
        v.push_back(record(0.5f, std::cos(angle), std::sin(angle)));
        i.insert(i.end(), {0, 1, 2 + t});
    }
}

uint32_t waitForTask(TaskState& state)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    uint32_t s;
    while ((s = state.load()) == TaskRunning && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return s;
}

bool loadDocument(TriMesh& doc, const std::string& path)
{
    if (!doc.loadFileAsync(path)) return false;
    const uint32_t s = waitForTask(doc.ioTask.state);
    if (s == TaskDone) return doc.takeLoadResult();
    doc.ioTask.state = TaskIdle;
    return false;
}

std::filesystem::path scratchDir(const std::string& name)
{
    const auto dir = scratchRoot() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string writeTetraObj(const std::filesystem::path& dir)
{
    const auto path = dir / "tetra.obj";
    writeFile(path, "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n"
                    "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n");
    return path.string();
}

std::vector<PositionTriangle> positionTriangles(const std::vector<MeshVertex>& v,
                                                const std::vector<uint32_t>& i)
{
    std::vector<PositionTriangle> out;
    for (size_t t = 0; t + 2 < i.size(); t += 3) {
        PositionTriangle tri;
        for (int c = 0; c < 3; ++c) {
            const float* p = v.at(i[t + c]).position;
            tri[c] = {p[0], p[1], p[2]};
        }
        std::sort(tri.begin(), tri.end());
        out.push_back(tri);
    }
    std::sort(out.begin(), out.end());
    return out;
}

SettingsGuard::SettingsGuard()
    : merge(MergeDuplicateVertices), normals(ComputeVertexNormals), check(CheckManifoldness)
{}

SettingsGuard::~SettingsGuard()
{
    MergeDuplicateVertices = merge;
    ComputeVertexNormals = normals;
    CheckManifoldness = check;
}

std::string testParamName(std::string param)
{
    for (char& c : param) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return param;
}
