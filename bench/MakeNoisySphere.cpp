// Writes a binary little-endian PLY of a subdivided icosahedron on the unit
// sphere with deterministic radial noise: 20 * 4^level triangles
// (level 8: 1,310,720 triangles, 655,362 vertices).
//   tamrel-make-sphere OUT.ply [LEVEL]

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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tamrel-make-sphere OUT.ply [LEVEL]\n");
        return 2;
    }
    const int level = argc > 2 ? std::atoi(argv[2]) : 8;
    if (level < 0 || level > 10) {
        std::fprintf(stderr, "level must lie in 0..10\n");
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
