// Vertex normals, bounding box and centre of a loaded mesh.

#include "MeshGeometry.h"
#include "ParallelLoop.h"
#include "TriMesh.h"

#include "Timer.h"

#include <tbb/parallel_invoke.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using Range = IndexRange;

// Small meshes stay on one thread; the thread start-up would cost more.
constexpr uint32_t ParallelNormalsFrom = 100001;
constexpr uint32_t SerialBoxUpTo = 100000;

struct Vec3 {
    float x, y, z;
};
inline Vec3 sub(const float* a, const float* b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }

inline float angleFromCosine(float c)
{
    // Rounding can push the cosine just past 1.
    return std::acos(std::clamp(c, -1.0f, 1.0f));
}

// Angle-weighted contributions of triangle t to its three corners. A
// triangle without area has no normal and adds nothing.
template <typename Add>
void addTriangleNormal(const std::vector<MeshVertex>& records, const uint32_t* tri, const Add& add)
{
    const float* pA = records[tri[0]].position;
    const float* pB = records[tri[1]].position;
    const float* pC = records[tri[2]].position;
    const Vec3 e1 = sub(pB, pA), e2 = sub(pC, pB), e3 = sub(pA, pC);
    const Vec3 n = cross(e1, e2);
    const float len = length(n);
    if (!(len > 0.0f) || !std::isfinite(len)) return;
    const Vec3 unit{n.x / len, n.y / len, n.z / len};
    const float l1 = length(e1), l2 = length(e2), l3 = length(e3);
    const float angleA = angleFromCosine(dot({-e3.x, -e3.y, -e3.z}, e1) / (l3 * l1));
    const float angleB = angleFromCosine(dot({-e1.x, -e1.y, -e1.z}, e2) / (l2 * l1));
    // The angles of a triangle add up to pi; this saves a third of the
    // arc cosines, the bulk of the work.
    const float angleC = std::max(0.0f, std::numbers::pi_v<float> - angleA - angleB);
    add(tri[0], unit, angleA);
    add(tri[1], unit, angleB);
    add(tri[2], unit, angleC);
}

inline void normaliseInto(float* normal, const float* sum)
{
    const float len = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    if (len > 0.0f && std::isfinite(len)) {
        normal[0] = sum[0] / len;
        normal[1] = sum[1] / len;
        normal[2] = sum[2] / len;
    } else {
        // A vertex no triangle uses has no direction.
        normal[0] = normal[1] = normal[2] = 0.0f;
    }
}

} // namespace

void TriMesh::ComputeVertexNormals(std::vector<MeshVertex>& records,
                                   const std::vector<uint32_t>& indices)
{
    Timer timer("ComputeVertexNormals", true);
    const auto n = static_cast<uint32_t>(records.size());
    const auto triangles = static_cast<uint32_t>(indices.size() / 3);
    // The weighted normals of triangles [first, end) summed per vertex into sums.
    auto sumTriangles = [&](uint32_t first, uint32_t end, std::vector<float>& sums) {
        sums.assign(3 * static_cast<size_t>(n), 0.0f);
        for (uint32_t t = first; t != end; ++t) {
            addTriangleNormal(records, &indices[3 * t], [&](uint32_t v, Vec3 d, float w) {
                sums[3 * v] += d.x * w;
                sums[3 * v + 1] += d.y * w;
                sums[3 * v + 2] += d.z * w;
            });
        }
    };
    if (n < ParallelNormalsFrom) {
        std::vector<float> sums;
        sumTriangles(0, triangles, sums);
        for (uint32_t v = 0; v < n; ++v) normaliseInto(records[v].normal, &sums[3 * v]);
        return;
    }

    // A fixed split of the triangles into blocks, each summed into its own
    // array and the arrays added up per vertex in block order: no
    // contribution is lost, no atomic is needed on the hot path, and the
    // sums do not depend on how many threads share the work.
    constexpr uint32_t Blocks = 8;
    std::vector<std::vector<float>> partial(Blocks);
    parallelOver(Blocks, [&](const Range& r) {
        for (uint32_t b = r.begin(); b != r.end(); ++b) {
            sumTriangles(static_cast<uint32_t>(uint64_t(triangles) * b / Blocks),
                         static_cast<uint32_t>(uint64_t(triangles) * (b + 1) / Blocks), partial[b]);
        }
    });
    parallelOver(n, [&](const Range& r) {
        for (uint32_t v = r.begin(); v != r.end(); ++v) {
            float sum[3] = {0, 0, 0};
            for (const auto& local : partial) {
                sum[0] += local[3 * v];
                sum[1] += local[3 * v + 1];
                sum[2] += local[3 * v + 2];
            }
            normaliseInto(records[v].normal, sum);
        }
    });
}

std::array<float, 6> computeBoundingBox(const std::vector<MeshVertex>& records)
{
    std::array<float, 6> box{0, 0, 0, 0, 0, 0};
    if (records.empty()) return box;
    auto axis = [&](int a) {
        float lo = records[0].position[a], hi = lo;
        for (const auto& r : records) {
            lo = std::min(lo, r.position[a]);
            hi = std::max(hi, r.position[a]);
        }
        box[a] = lo;
        box[3 + a] = hi;
    };
    if (records.size() <= SerialBoxUpTo) {
        axis(0);
        axis(1);
        axis(2);
    } else {
        tbb::parallel_invoke([&] { axis(0); }, [&] { axis(1); }, [&] { axis(2); });
    }
    return box;
}

std::array<float, 3> computeMeshCenter(const std::vector<MeshVertex>& records,
                                       const std::vector<uint32_t>& indices, bool volume)
{
    return computeMeshCenter(records, indices, volume, computeBoundingBox(records));
}

std::array<float, 3> computeMeshCenter(const std::vector<MeshVertex>& records,
                                       const std::vector<uint32_t>& indices, bool volume,
                                       const std::array<float, 6>& box)
{
    // Sums in double: a float sum over a million triangles drifts visibly.
    double v = 0, sx = 0, sy = 0, sz = 0;
    double area = 0, ax = 0, ay = 0, az = 0;
    const size_t triangles = indices.size() / 3;
    for (size_t t = 0; t < triangles; ++t) {
        const float* pA = records[indices[3 * t]].position;
        const float* pB = records[indices[3 * t + 1]].position;
        const float* pC = records[indices[3 * t + 2]].position;
        const Vec3 nrm = cross(sub(pB, pA), sub(pC, pB));
        const Vec3 a{nrm.x / 2, nrm.y / 2, nrm.z / 2};
        const Vec3 c{(pA[0] + pB[0] + pC[0]) / 3, (pA[1] + pB[1] + pC[1]) / 3,
                     (pA[2] + pB[2] + pC[2]) / 3};
        if (volume) {
            v += a.x * c.x;
            sx += a.x * c.x * c.x / 2;
            sy += a.y * c.y * c.y / 2;
            sz += a.z * c.z * c.z / 2;
        }
        const double w = length(nrm) / 2;
        area += w;
        ax += w * c.x;
        ay += w * c.y;
        az += w * c.z;
    }

    auto inBox = [&](const std::array<float, 3>& p) {
        for (int i = 0; i < 3; ++i) {
            const float slack = 1e-4f * (box[3 + i] - box[i]) + 1e-6f;
            if (!std::isfinite(p[i]) || p[i] < box[i] - slack || p[i] > box[3 + i] + slack) return false;
        }
        return true;
    };
    if (volume && v != 0.0) {
        // An inconsistently oriented or flat "closed" mesh gives a centroid
        // far off the mesh; only a sound one is kept.
        const std::array<float, 3> c{static_cast<float>(sx / v), static_cast<float>(sy / v),
                                     static_cast<float>(sz / v)};
        if (inBox(c)) return c;
    }
    if (area > 0.0) {
        const std::array<float, 3> c{static_cast<float>(ax / area), static_cast<float>(ay / area),
                                     static_cast<float>(az / area)};
        if (inBox(c)) return c;
    }
    return {(box[0] + box[3]) / 2, (box[1] + box[4]) / 2, (box[2] + box[5]) / 2};
}
