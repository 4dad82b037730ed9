// Writes a binary little-endian PLY of a subdivided icosahedron on the unit
// sphere with deterministic radial noise: 20 * 4^level triangles
// (level 8: 1,310,720 triangles, 655,362 vertices). With --faces N each
// icosahedron face is cut into k*k triangles instead, k = round(sqrt(N / 20));
// --irregular jitters the grid and crowds it towards one pole (uneven sizes
// and shapes, as in a scan).
//   tamrel-make-sphere OUT.ply [LEVEL | --faces N] [--irregular]

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Vec = std::array<float, 3>;

Vec normalised(Vec v)
{
    const float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / l, v[1] / l, v[2] / l};
}

// A fixed pseudo-random value in [-1, 1] per vertex number.
float noise(uint32_t i)
{
    uint32_t x = i * 2654435761u + 0x9E3779B9u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return static_cast<float>(x & 0xFFFFFF) / static_cast<float>(0x7FFFFF) - 1.0f;
}

// Cuts every face into k*k triangles; points on the icosahedron's edges are shared.
void subdivideGrid(std::vector<Vec>& verts, std::vector<std::array<uint32_t, 3>>& faces, uint32_t k,
                   bool jitter)
{
    const std::vector<Vec> corners = verts;
    std::unordered_map<uint64_t, uint32_t> edgePoints;
    std::vector<std::array<uint32_t, 3>> next;
    next.reserve(faces.size() * k * k);
    for (const auto& f : faces) {
        // Grid point (i, j) lies i steps towards corner 1 and j towards corner 2.
        auto point = [&](uint32_t i, uint32_t j) -> uint32_t {
            if (i == 0 && j == 0) return f[0];
            if (i == k) return f[1];
            if (j == k) return f[2];
            const bool onEdge = i == 0 || j == 0 || i + j == k;
            uint64_t key = 0;
            if (onEdge) {
                uint32_t a = f[1], b = f[2], s = j;
                if (j == 0) a = f[0], b = f[1], s = i;
                else if (i == 0) a = f[0], b = f[2], s = j;
                if (a > b) std::swap(a, b), s = k - s;
                key = (uint64_t(a) << 40) | (uint64_t(b) << 20) | s;
                auto it = edgePoints.find(key);
                if (it != edgePoints.end()) return it->second;
            }
            float u = static_cast<float>(i), w = static_cast<float>(j);
            if (jitter && !onEdge) {
                const uint32_t seed = static_cast<uint32_t>(verts.size());
                u += 0.3f * noise(2 * seed), w += 0.3f * noise(2 * seed + 1);
            }
            const float step = 1.0f / static_cast<float>(k);
            Vec p;
            for (int c = 0; c < 3; ++c) {
                p[c] = corners[f[0]][c] + (corners[f[1]][c] - corners[f[0]][c]) * u * step +
                       (corners[f[2]][c] - corners[f[0]][c]) * w * step;
            }
            verts.push_back(normalised(p));
            const uint32_t id = static_cast<uint32_t>(verts.size() - 1);
            if (onEdge) edgePoints.emplace(key, id);
            return id;
        };
        std::vector<uint32_t> row(k + 1), below(k + 1);
        for (uint32_t j = 0; j <= k; ++j) below[j] = point(0, j);
        for (uint32_t i = 1; i <= k; ++i) {
            for (uint32_t j = 0; j + i <= k; ++j) row[j] = point(i, j);
            for (uint32_t j = 0; j + i <= k; ++j) {
                next.push_back({below[j], row[j], below[j + 1]});
                if (j + i < k) next.push_back({row[j], row[j + 1], below[j + 1]});
            }
            std::swap(row, below);
        }
    }
    faces.swap(next);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tamrel-make-sphere OUT.ply [LEVEL | --faces N] [--irregular]\n");
        return 2;
    }
    int level = 8;
    long requested = 0;
    bool irregular = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--faces" && i + 1 < argc)
            requested = std::atol(argv[++i]);
        else if (a == "--irregular")
            irregular = true;
        else
            level = std::atoi(argv[i]);
    }
    if (level < 0 || level > 10 || requested < 0 || requested > 100000000) {
        std::fprintf(stderr, "level must lie in 0..10, faces in 0..1e8\n");
        return 2;
    }

    const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<Vec> verts = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                              {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    for (auto& v : verts) v = normalised(v);
    std::vector<std::array<uint32_t, 3>> faces = {
        {0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
        {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
        {3, 8, 9},  {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};

    if (requested > 0 || irregular) {
        const double n = requested > 0 ? static_cast<double>(requested) : 20.0 * std::pow(4.0, level);
        subdivideGrid(verts, faces, std::max(1u, static_cast<uint32_t>(std::lround(std::sqrt(n / 20.0)))),
                      irregular);
        level = 0;
    }
    if (irregular) {
        // Crowd the points towards +z: triangles shrink about 4-fold in area from pole to pole.
        for (auto& v : verts) v = normalised({v[0], v[1], v[2] + 0.35f});
    }

    for (int l = 0; l < level; ++l) {
        std::unordered_map<uint64_t, uint32_t> midpoints;
        midpoints.reserve(faces.size() * 2);
        auto midpoint = [&](uint32_t a, uint32_t b) {
            const uint64_t key = a < b ? (uint64_t(a) << 32 | b) : (uint64_t(b) << 32 | a);
            auto [it, inserted] = midpoints.try_emplace(key, static_cast<uint32_t>(verts.size()));
            if (inserted) {
                const Vec& p = verts[a];
                const Vec& q = verts[b];
                verts.push_back(normalised({p[0] + q[0], p[1] + q[1], p[2] + q[2]}));
            }
            return it->second;
        };
        std::vector<std::array<uint32_t, 3>> next;
        next.reserve(faces.size() * 4);
        for (const auto& f : faces) {
            const uint32_t ab = midpoint(f[0], f[1]), bc = midpoint(f[1], f[2]), ca = midpoint(f[2], f[0]);
            next.push_back({f[0], ab, ca});
            next.push_back({f[1], bc, ab});
            next.push_back({f[2], ca, bc});
            next.push_back({ab, bc, ca});
        }
        faces.swap(next);
    }
    for (uint32_t i = 0; i < verts.size(); ++i) {
        const float r = 1.0f + 0.01f * noise(i);
        for (float& c : verts[i]) c *= r;
    }

    FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out,
                 "ply\nformat binary_little_endian 1.0\ncomment tamrel noisy sphere\n"
                 "element vertex %zu\nproperty float x\nproperty float y\nproperty float z\n"
                 "element face %zu\nproperty list uchar int vertex_indices\nend_header\n",
                 verts.size(), faces.size());
    bool ok = std::fwrite(verts.data(), sizeof(Vec), verts.size(), out) == verts.size();
    for (const auto& f : faces) {
        const unsigned char n = 3;
        ok = ok && std::fwrite(&n, 1, 1, out) == 1 && std::fwrite(f.data(), 4, 3, out) == 3;
    }
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "failed to write %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %s: %zu vertices, %zu triangles\n", argv[1], verts.size(), faces.size());
    return 0;
}
