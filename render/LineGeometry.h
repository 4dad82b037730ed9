#pragma once
// Host-side geometry of the line overlays: one vertex and one index array
// shared by named groups (axis, box, normals, boundary and complex edges),
// and the builders that append a group. Main thread only.

#include <glm/glm.hpp>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct MeshVertex;

struct LineVertex {
    float position[3];
    float color[3];
};
static_assert(sizeof(LineVertex) == 24, "LineVertex is the 24-byte vertex-buffer element");

struct LineGeometry {
    std::vector<LineVertex> vertices;
    std::vector<uint32_t> indices;  // one pair per segment
};

struct LineGroup {
    bool visible = true;
    uint32_t firstIndex = 0;
    uint32_t indexCount = 0;
    float lineWidth = 1.0f;
    uint32_t alwaysFront = 0;  // pushed as the line shader's always_front
};

using LineGroupMap = std::unordered_map<std::string, LineGroup>;

// An empty group table with its initial bucket count.
LineGroupMap makeLineGroupMap();

void clearLines(LineGeometry& geometry, LineGroupMap& groups);

// Each builder empties the two arrays first unless append is set (the group
// table is left alone then; clear it first), offsets its indices by the
// vertices already present and stores its group under name, replacing an
// entry of the same name.
void addDrawLines(LineGeometry& geometry, LineGroupMap& groups, const std::vector<MeshVertex>& records,
                  const std::vector<uint32_t>& indices, const glm::vec3& color, bool append, std::string name,
                  float lineWidth, bool alwaysFront);
// records hold whole segments, two per edge.
void addDrawMeshEdges(LineGeometry& geometry, LineGroupMap& groups, const std::vector<MeshVertex>& records,
                      const glm::vec3& color, bool append, std::string name, float lineWidth, bool alwaysFront);
void addDrawAabb(LineGeometry& geometry, LineGroupMap& groups, const glm::vec3& boxMin, const glm::vec3& boxMax,
                 const glm::vec3& color, bool append, bool negateY, std::string name);
void addDrawAxis(LineGeometry& geometry, LineGroupMap& groups, const glm::vec3& origin,
                 const glm::vec3& halfLengths, bool append, std::string name);
// Always appends; the group starts hidden.
void addDrawNormals(LineGeometry& geometry, LineGroupMap& groups, const std::vector<MeshVertex>& records,
                    float length, std::string name);

// Rebuilds every overlay of a mesh from its records, box, centre and edge
// segments, keeping the visibility that each group had before.
void rebuildLineOverlays(LineGeometry& geometry, LineGroupMap& groups, const std::vector<MeshVertex>& records,
                         const glm::vec3& boxMin, const glm::vec3& boxMax, const glm::vec3& centre,
                         const std::vector<MeshVertex>& boundaryEdges,
                         const std::vector<MeshVertex>& complexEdges);
