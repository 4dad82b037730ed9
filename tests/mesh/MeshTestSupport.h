#pragma once
// Shared helpers of the mesh document tests: the captured log, small meshes
// built in code, and driving a document task to its end.

#include "TriMesh.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Messages logged through "tamrel_log" since the last clear.
namespace testlog {
void clear();
std::vector<std::string> messages();
bool contains(const std::string& text);
size_t count(const std::string& text);
} // namespace testlog

MeshVertex record(float x, float y, float z);
std::vector<MeshVertex> records(const std::vector<std::array<float, 3>>& positions);

// Closed tetrahedron, outward facing: 4 records, 4 triangles.
void tetrahedron(std::vector<MeshVertex>& v, std::vector<uint32_t>& i);
// Unit cube with a corner at the origin: 8 records, 12 outward triangles.
void unitCube(std::vector<MeshVertex>& v, std::vector<uint32_t>& i);
// k triangles sharing the edge (0, 1), each with its own third vertex.
void fanOnEdge(uint32_t k, std::vector<MeshVertex>& v, std::vector<uint32_t>& i);

// Waits for a state to leave "running" (at most 60 s); returns it.
uint32_t waitForTask(TaskState& state);
// Loads through the task engine as the application does; true when done.
bool loadDocument(TriMesh& doc, const std::string& path);

// A fresh folder under the build's temporary directory.
std::filesystem::path scratchDir(const std::string& name);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
// Writes the closed tetrahedron as dir/tetra.obj; returns its path.
std::string writeTetraObj(const std::filesystem::path& dir);

// Triangles as sorted position triples, so meshes compare independently of
// record order and numbering.
using PositionTriangle = std::array<std::array<float, 3>, 3>;
std::vector<PositionTriangle> positionTriangles(const std::vector<MeshVertex>& v,
                                                const std::vector<uint32_t>& i);

// Restores the three load settings when it goes out of scope.
struct SettingsGuard {
    SettingsGuard();
    ~SettingsGuard();
    bool merge, normals, check;
};

extern const std::string ModelDir;

// A test parameter (a file name) as a test name: letters and digits kept.
std::string testParamName(std::string param);
