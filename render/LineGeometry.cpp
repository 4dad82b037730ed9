#include "LineGeometry.h"

#include "MeshVertex.h"

#include <algorithm>
#include <stdexcept>

namespace {

void emptyArrays(LineGeometry& geometry)
{
    geometry.vertices.clear();
    geometry.indices.clear();
}

void pushVertex(LineGeometry& geometry, const glm::vec3& p, const glm::vec3& color)
{
    geometry.vertices.push_back({{p.x, p.y, p.z}, {color.x, color.y, color.z}});
}

uint32_t vertexCount(const LineGeometry& geometry)
{
    return static_cast<uint32_t>(geometry.vertices.size());
}

uint32_t indexCount(const LineGeometry& geometry)
{
    return static_cast<uint32_t>(geometry.indices.size());
}

} // namespace

LineGroupMap makeLineGroupMap()
{
    LineGroupMap groups(8);
    groups.max_load_factor(1.0f);
    return groups;
}

void clearLines(LineGeometry& geometry, LineGroupMap& groups)
{
    emptyArrays(geometry);
    groups = makeLineGroupMap();
}

void addDrawLines(LineGeometry& geometry, LineGroupMap& groups, const std::vector<MeshVertex>& records,
                  const std::vector<uint32_t>& indices, const glm::vec3& color, bool append, std::string name,
                  float lineWidth, bool alwaysFront)
{
    if (!append) emptyArrays(geometry);
    geometry.vertices.reserve(geometry.vertices.size() + records.size());
    geometry.indices.reserve(geometry.indices.size() + indices.size());
    const uint32_t base = vertexCount(geometry);
    const uint32_t first = indexCount(geometry);
    for (const MeshVertex& v : records) {
        pushVertex(geometry, glm::vec3(v.position[0], v.position[1], v.position[2]), color);
    }
    for (uint32_t i : indices) geometry.indices.push_back(i + base);
    groups[std::move(name)] = {true, first, static_cast<uint32_t>(indices.size()), lineWidth,
                               alwaysFront ? 1u : 0u};
}

void addDrawMeshEdges(LineGeometry& geometry, LineGroupMap& groups, const std::vector<MeshVertex>& records,
                      const glm::vec3& color, bool append, std::string name, float lineWidth, bool alwaysFront)
{
    if (records.size() % 2 != 0) {
        throw std::runtime_error("@addDrawMeshEdges: Even number of vertices should be given to form edges.");
    }
    std::vector<uint32_t> indices(records.size());
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint32_t>(i);
    addDrawLines(geometry, groups, records, indices, color, append, std::move(name), lineWidth, alwaysFront);
}

void addDrawAabb(LineGeometry& geometry, LineGroupMap& groups, const glm::vec3& boxMin, const glm::vec3& boxMax,
                 const glm::vec3& color, bool append, bool negateY, std::string name)
{
    if (!append) emptyArrays(geometry);
    const uint32_t base = vertexCount(geometry);
    const uint32_t first = indexCount(geometry);
    const float x0 = boxMin.x, x1 = boxMax.x, z0 = boxMin.z, z1 = boxMax.z;
    const float y0 = negateY ? -boxMin.y : boxMin.y;
    const float y1 = negateY ? -boxMax.y : boxMax.y;
    const glm::vec3 corners[8] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                                  {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    for (const glm::vec3& c : corners) pushVertex(geometry, c, color);
    static const uint32_t edges[24] = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6, 6, 7, 7, 4, 0, 4, 1, 5, 2, 6, 3, 7};
    for (uint32_t i : edges) geometry.indices.push_back(i + base);
    groups[std::move(name)] = {true, first, 24, 1.0f, 0};
}

void addDrawAxis(LineGeometry& geometry, LineGroupMap& groups, const glm::vec3& origin,
                 const glm::vec3& halfLengths, bool append, std::string name)
{
    if (!append) emptyArrays(geometry);
    const uint32_t base = vertexCount(geometry);
    const uint32_t first = indexCount(geometry);
    const glm::vec3 red(0.9f, 0.3f, 0.0f), green(0.3f, 0.86f, 0.0f), blue(0.0f, 0.76f, 1.0f);
    pushVertex(geometry, origin + glm::vec3(-halfLengths.x, 0, 0), red);
    pushVertex(geometry, origin + glm::vec3(halfLengths.x, 0, 0), red);
    pushVertex(geometry, origin + glm::vec3(0, -halfLengths.y, 0), green);
    pushVertex(geometry, origin + glm::vec3(0, halfLengths.y, 0), green);
    pushVertex(geometry, origin + glm::vec3(0, 0, -halfLengths.z), blue);
    pushVertex(geometry, origin + glm::vec3(0, 0, halfLengths.z), blue);
    for (uint32_t i = 0; i < 6; ++i) geometry.indices.push_back(i + base);
    groups[std::move(name)] = {true, first, 6, 1.0f, 0};
}

void addDrawNormals(LineGeometry& geometry, LineGroupMap& groups, const std::vector<MeshVertex>& records,
                    float length, std::string name)
{
    geometry.vertices.reserve(geometry.vertices.size() + 2 * records.size());
    geometry.indices.reserve(geometry.indices.size() + 2 * records.size());
    const uint32_t base = vertexCount(geometry);
    const uint32_t first = indexCount(geometry);
    const glm::vec3 green(0.0f, 1.0f, 0.0f);
    for (size_t i = 0; i < records.size(); ++i) {
        const MeshVertex& v = records[i];
        const glm::vec3 p(v.position[0], v.position[1], v.position[2]);
        const glm::vec3 n(v.normal[0], v.normal[1], v.normal[2]);
        pushVertex(geometry, p, green);
        pushVertex(geometry, p + length * n, green);
        geometry.indices.push_back(base + 2 * static_cast<uint32_t>(i));
        geometry.indices.push_back(base + 2 * static_cast<uint32_t>(i) + 1);
    }
    groups[std::move(name)] = {false, first, static_cast<uint32_t>(2 * records.size()), 1.0f, 0};
}

void rebuildLineOverlays(LineGeometry& geometry, LineGroupMap& groups, const std::vector<MeshVertex>& records,
                         const glm::vec3& boxMin, const glm::vec3& boxMax, const glm::vec3& centre,
                         const std::vector<MeshVertex>& boundaryEdges,
                         const std::vector<MeshVertex>& complexEdges)
{
    const LineGroupMap old = std::move(groups);
    clearLines(geometry, groups);

    // A group seen before keeps the visibility the user gave it.
    auto keepVisibility = [&](const std::string& name) {
        auto it = old.find(name);
        if (it != old.end()) groups[name].visible = it->second.visible;
    };

    const glm::vec3 e = boxMax - boxMin;
    if (e.x > 0.0f || e.y > 0.0f || e.z > 0.0f) {
        addDrawAxis(geometry, groups, centre, 0.81f * e, false, "axis");
        keepVisibility("axis");
        addDrawAabb(geometry, groups, boxMin, boxMax, glm::vec3(0.3f), true, false, "aabb");
        keepVisibility("aabb");
        addDrawNormals(geometry, groups, records, 0.025f * std::max(e.x, std::max(e.y, e.z)), "normals");
        keepVisibility("normals");
        if (!boundaryEdges.empty()) {
            addDrawMeshEdges(geometry, groups, boundaryEdges, glm::vec3(0.937f, 0.4f, 0.851f), true,
                             "edges_boundary", 2.0f, true);
            groups["edges_boundary"].visible = false;
            keepVisibility("edges_boundary");
        }
        if (!complexEdges.empty()) {
            addDrawMeshEdges(geometry, groups, complexEdges, glm::vec3(0.447f, 0.976f, 0.149f), true,
                             "edges_complex", 2.0f, true);
            keepVisibility("edges_complex");
        }
    } else {
        addDrawAxis(geometry, groups, glm::vec3(0.0f), glm::vec3(1.0f), false, "axis");
    }
}
