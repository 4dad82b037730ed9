#include "TestMeshes.h"

#include "remesh/MeshConversion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

uint32_t FlatMesh::add(double x, double y, double z, double nx, double ny, double nz)
{
    MeshVertex v{};
    v.position[0] = float(x);
    v.position[1] = float(y);
    v.position[2] = float(z);
    v.normal[0] = float(nx);
    v.normal[1] = float(ny);
    v.normal[2] = float(nz);
    records.push_back(v);
    return uint32_t(records.size() - 1);
}

void FlatMesh::tri(uint32_t a, uint32_t b, uint32_t c)
{
    indices.insert(indices.end(), {a, b, c});
}

FlatMesh makeGrid(int n, double size)
{
    FlatMesh m;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) m.add(size * i / n, size * j / n, 0.0);
    auto id = [n](int i, int j) { return uint32_t(j * (n + 1) + i); };
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            m.tri(id(i, j), id(i + 1, j), id(i + 1, j + 1));
            m.tri(id(i, j), id(i + 1, j + 1), id(i, j + 1));
        }
    return m;
}

FlatMesh makeCube()
{
    FlatMesh m;
    for (int k = 0; k < 8; ++k) {
        double x = k & 1, y = (k >> 1) & 1, z = (k >> 2) & 1;
        double l = std::sqrt(3.0);
        m.add(x, y, z, (2 * x - 1) / l, (2 * y - 1) / l, (2 * z - 1) / l);
    }
    const uint32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                  {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (auto& q : quads) {
        m.tri(q[0], q[1], q[2]);
        m.tri(q[0], q[2], q[3]);
    }
    return m;
}

FlatMesh makeIcosphere(int subdivisions, double radius)
{
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<OpenMesh::Vec3d> p = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                      {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                      {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    std::vector<std::array<uint32_t, 3>> f = {
        {0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
        {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
        {3, 8, 9},  {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    for (auto& q : p) q.normalize();
    for (int s = 0; s < subdivisions; ++s) {
        std::map<std::pair<uint32_t, uint32_t>, uint32_t> mid;
        auto midpoint = [&](uint32_t a, uint32_t b) {
            auto key = std::minmax(a, b);
            auto it = mid.find(key);
            if (it != mid.end()) return it->second;
            p.push_back((p[a] + p[b]).normalized());
            uint32_t id = uint32_t(p.size() - 1);
            mid[key] = id;
            return id;
        };
        std::vector<std::array<uint32_t, 3>> g;
        for (auto& t3 : f) {
            uint32_t a = midpoint(t3[0], t3[1]), b = midpoint(t3[1], t3[2]), c = midpoint(t3[2], t3[0]);
            g.push_back({t3[0], a, c});
            g.push_back({t3[1], b, a});
            g.push_back({t3[2], c, b});
            g.push_back({a, b, c});
        }
        f = std::move(g);
    }
    FlatMesh m;
    for (auto& q : p) m.add(q[0] * radius, q[1] * radius, q[2] * radius, q[0], q[1], q[2]);
    for (auto& t3 : f) m.tri(t3[0], t3[1], t3[2]);
    return m;
}

FlatMesh makeCappedCylinder(int segments, int rings, double r, double h)
{
    FlatMesh m;
    const double pi = std::acos(-1.0);
    // Side rings; cap rims reuse the side's first and last ring.
    for (int j = 0; j <= rings; ++j)
        for (int i = 0; i < segments; ++i) {
            double a = 2 * pi * i / segments;
            m.add(r * std::cos(a), r * std::sin(a), h * j / rings, std::cos(a), std::sin(a), 0);
        }
    auto id = [segments](int i, int j) { return uint32_t(j * segments + (i % segments)); };
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < segments; ++i) {
            m.tri(id(i, j), id(i + 1, j), id(i + 1, j + 1));
            m.tri(id(i, j), id(i + 1, j + 1), id(i, j + 1));
        }
    // Caps as fans of concentric rings so their triangles are not slivers.
    const int capRings = std::max(1, segments / 6);
    for (int side = 0; side < 2; ++side) {
        double z = side ? h : 0.0, nz = side ? 1.0 : -1.0;
        std::vector<uint32_t> prev;
        for (int i = 0; i < segments; ++i) prev.push_back(id(i, side ? rings : 0));
        for (int k = capRings - 1; k >= 1; --k) {
            std::vector<uint32_t> ring;
            double rr = r * k / capRings;
            for (int i = 0; i < segments; ++i) {
                double a = 2 * pi * i / segments;
                ring.push_back(m.add(rr * std::cos(a), rr * std::sin(a), z, 0, 0, nz));
            }
            for (int i = 0; i < segments; ++i) {
                uint32_t a0 = prev[i], a1 = prev[(i + 1) % segments], b0 = ring[i], b1 = ring[(i + 1) % segments];
                if (side) {
                    m.tri(a0, a1, b1);
                    m.tri(a0, b1, b0);
                } else {
                    m.tri(a0, b1, a1);
                    m.tri(a0, b0, b1);
                }
            }
            prev = ring;
        }
        uint32_t c = m.add(0, 0, z, 0, 0, nz);
        for (int i = 0; i < segments; ++i) {
            if (side)
                m.tri(prev[i], prev[(i + 1) % segments], c);
            else
                m.tri(prev[(i + 1) % segments], prev[i], c);
        }
    }
    return m;
}

HalfedgeMesh toHalfedge(const FlatMesh& m)
{
    return buildHalfedgeMesh(m.records, m.indices);
}

std::vector<std::array<OpenMesh::Vec3d, 3>> trianglesByPosition(const HalfedgeMesh& m)
{
    std::vector<std::array<OpenMesh::Vec3d, 3>> triangles;
    for (auto f : m.faces()) {
        std::array<OpenMesh::Vec3d, 3> t;
        int k = 0;
        for (auto v : m.fv_range(f)) t[k++] = m.point(v);
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
        triangles.push_back(t);
    }
    std::sort(triangles.begin(), triangles.end());
    return triangles;
}
