#pragma once
// Small meshes built in code for the drawer tests.

#include "MeshVertex.h"

#include <cmath>
#include <cstdint>
#include <vector>

struct TestMesh {
    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices;
    float boxMin[3];
    float boxMax[3];
    float centre[3];
    std::vector<MeshVertex> boundaryEdges;
};

// A UV sphere of radius 1 about the origin with outward unit normals.
inline TestMesh makeSphere(uint32_t rings = 24, uint32_t segments = 48)
{
    TestMesh m{{}, {}, {-1, -1, -1}, {1, 1, 1}, {0, 0, 0}, {}};
    const float pi = 3.14159265f;
    for (uint32_t r = 0; r <= rings; ++r) {
        const float theta = pi * float(r) / float(rings);
        for (uint32_t s = 0; s <= segments; ++s) {
            const float phi = 2 * pi * float(s) / float(segments);
            const float x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
            m.vertices.push_back({{x, y, z}, {x, y, z}, {0.6f, 0.7f, 0.8f}, {0, 0}});
        }
    }
    for (uint32_t r = 0; r < rings; ++r) {
        for (uint32_t s = 0; s < segments; ++s) {
            const uint32_t a = r * (segments + 1) + s, b = a + segments + 1;
            m.indices.insert(m.indices.end(), {a, a + 1, b, a + 1, b + 1, b});
        }
    }
    return m;
}

// An axis-aligned cube from (-1,-1,-1) to (1,1,1) with flat normals; without
// its top face when open, whose four rim edges are then the boundary.
inline TestMesh makeCube(bool open)
{
    TestMesh m{{}, {}, {-1, -1, -1}, {1, 1, 1}, {0, 0, 0}, {}};
    const float n[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int f = 0; f < 6; ++f) {
        if (open && f == 2) continue;
        // Two tangent axes u, v with u x v = n, so the corners run counter-clockwise.
        const int axis = f / 2;
        const float sign = n[f][axis];
        const int ua = (axis + 1) % 3, va = (axis + 2) % 3;
        const uint32_t base = static_cast<uint32_t>(m.vertices.size());
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners) {
            MeshVertex v{{0, 0, 0}, {n[f][0], n[f][1], n[f][2]}, {0.8f, 0.6f, 0.5f}, {0, 0}};
            v.position[axis] = sign;
            v.position[ua] = c[0] * sign;
            v.position[va] = c[1];
            m.vertices.push_back(v);
        }
        m.indices.insert(m.indices.end(), {base, base + 1, base + 2, base + 2, base + 3, base});
    }
    if (open) {
        const float rim[4][3] = {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}};
        for (int i = 0; i < 4; ++i) {
            const float* a = rim[i];
            const float* b = rim[(i + 1) % 4];
            m.boundaryEdges.push_back({{a[0], a[1], a[2]}, {0, 1, 0}, {0, 0, 0}, {0, 0}});
            m.boundaryEdges.push_back({{b[0], b[1], b[2]}, {0, 1, 0}, {0, 0, 0}, {0, 0}});
        }
    }
    return m;
}
