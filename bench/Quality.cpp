#include "Quality.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include <tbb/blocked_range.h>
#include <tbb/parallel_reduce.h>

namespace {

typedef std::array<double, 3> P;

P sub(const P& a, const P& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const P& a, const P& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
P add(const P& a, const P& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
P mul(const P& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }

// Squared distance of p to triangle (a, b, c), by its Voronoi regions.
double pointTriangleDistSq(const P& p, const P& a, const P& b, const P& c)
{
    const P ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    P q;
    if (d1 <= 0 && d2 <= 0) {
        q = a;
    } else {
        const P bp = sub(p, b);
        const double d3 = dot(ab, bp), d4 = dot(ac, bp);
        const P cp = sub(p, c);
        const double d5 = dot(ab, cp), d6 = dot(ac, cp);
        const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
        if (d3 >= 0 && d4 <= d3)
            q = b;
        else if (vc <= 0 && d1 >= 0 && d3 <= 0)
            q = add(a, mul(ab, d1 / (d1 - d3)));
        else if (d6 >= 0 && d5 <= d6)
            q = c;
        else if (vb <= 0 && d2 >= 0 && d6 <= 0)
            q = add(a, mul(ac, d2 / (d2 - d6)));
        else if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
            q = add(b, mul(sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6))));
        else if (va + vb + vc > 0) {
            const double den = 1.0 / (va + vb + vc);
            q = add(a, add(mul(ab, vb * den), mul(ac, vc * den)));
        } else {
            q = a;
        }
    }
    const P d = sub(p, q);
    return dot(d, d);
}

// Uniform grid over the input triangles' boxes for nearest-surface queries.
class TriangleGrid {
public:
    explicit TriangleGrid(const QualityMesh& m) : mesh(m)
    {
        lo = {1e300, 1e300, 1e300};
        P hi = {-1e300, -1e300, -1e300};
        for (const P& p : m.points)
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
        const double diag = std::sqrt(dot(sub(hi, lo), sub(hi, lo)));
        const double n = std::max<double>(1.0, std::cbrt(static_cast<double>(m.triangles.size())));
        cell = std::max(diag / n, 1e-12);
        for (int k = 0; k < 3; ++k) dims[k] = std::max(1, static_cast<int>((hi[k] - lo[k]) / cell) + 1);
        cells.resize(static_cast<size_t>(dims[0]) * dims[1] * dims[2]);
        for (uint32_t t = 0; t < m.triangles.size(); ++t) {
            int a[3], b[3];
            for (int k = 0; k < 3; ++k) {
                double mn = 1e300, mx = -1e300;
                for (uint32_t v : m.triangles[t]) mn = std::min(mn, m.points[v][k]), mx = std::max(mx, m.points[v][k]);
                a[k] = clampCell(k, mn);
                b[k] = clampCell(k, mx);
            }
            for (int z = a[2]; z <= b[2]; ++z)
                for (int y = a[1]; y <= b[1]; ++y)
                    for (int x = a[0]; x <= b[0]; ++x) cells[index(x, y, z)].push_back(t);
        }
    }

    double distance(const P& p) const
    {
        int c[3];
        for (int k = 0; k < 3; ++k) c[k] = clampCell(k, p[k]);
        double best = std::numeric_limits<double>::infinity();
        const int maxRing = std::max({dims[0], dims[1], dims[2]});
        for (int r = 0; r <= maxRing; ++r) {
            for (int z = c[2] - r; z <= c[2] + r; ++z)
                for (int y = c[1] - r; y <= c[1] + r; ++y)
                    for (int x = c[0] - r; x <= c[0] + r; ++x) {
                        if (std::max({std::abs(x - c[0]), std::abs(y - c[1]), std::abs(z - c[2])}) != r) continue;
                        if (x < 0 || y < 0 || z < 0 || x >= dims[0] || y >= dims[1] || z >= dims[2]) continue;
                        for (uint32_t t : cells[index(x, y, z)]) {
                            const auto& tri = mesh.triangles[t];
                            best = std::min(best, pointTriangleDistSq(p, mesh.points[tri[0]], mesh.points[tri[1]],
                                                                      mesh.points[tri[2]]));
                        }
                    }
            // Everything outside ring r is at least r cells away.
            const double reach = r * cell;
            if (best <= reach * reach) break;
        }
        return std::sqrt(best);
    }

private:
    int clampCell(int k, double v) const
    {
        return std::clamp(static_cast<int>((v - lo[k]) / cell), 0, dims[k] - 1);
    }
    size_t index(int x, int y, int z) const { return (static_cast<size_t>(z) * dims[1] + y) * dims[0] + x; }

    const QualityMesh& mesh;
    P lo;
    double cell = 1;
    int dims[3] = {1, 1, 1};
    std::vector<std::vector<uint32_t>> cells;
};

} // namespace

QualityReport measureQuality(const QualityMesh& result, const QualityMesh& input, double targetLength,
                             const std::vector<double>& targetPerVertex)
{
    QualityReport q;
    q.faces = result.triangles.size();
    q.vertices = result.points.size();
    const double toDeg = 180.0 / std::acos(-1.0);
    double minA = 180, maxA = 0;
    size_t below = 0, corners = 0;
    std::unordered_map<uint64_t, uint32_t> edgeUse;
    edgeUse.reserve(result.triangles.size() * 2);
    for (const auto& t : result.triangles) {
        for (int k = 0; k < 3; ++k) {
            const P& p = result.points[t[k]];
            const P a = sub(result.points[t[(k + 1) % 3]], p), b = sub(result.points[t[(k + 2) % 3]], p);
            const double c = dot(a, b) / std::sqrt(dot(a, a) * dot(b, b));
            const double deg = std::acos(std::clamp(std::isfinite(c) ? c : 1.0, -1.0, 1.0)) * toDeg;
            minA = std::min(minA, deg);
            maxA = std::max(maxA, deg);
            below += deg < 30.0;
            ++corners;
            const uint32_t u = t[k], v = t[(k + 1) % 3];
            ++edgeUse[(static_cast<uint64_t>(std::max(u, v)) << 32) | std::min(u, v)];
        }
    }
    q.minAngleDeg = corners ? minA : 0;
    q.maxAngleDeg = corners ? maxA : 0;
    q.shareBelow30 = corners ? static_cast<double>(below) / corners : 0;

    std::vector<uint32_t> valence(result.points.size(), 0);
    std::vector<char> open(result.points.size(), 0);
    size_t ok = 0;
    for (const auto& [key, uses] : edgeUse) {
        const uint32_t a = static_cast<uint32_t>(key >> 32), b = static_cast<uint32_t>(key & 0xFFFFFFFFu);
        ++valence[a];
        ++valence[b];
        if (uses == 1) ++q.boundaryEdges;
        if (uses > 2) ++q.complexEdges;
        if (uses != 2) open[a] = open[b] = 1;
        const double target = targetPerVertex.empty() ? targetLength
                                                      : 0.5 * (targetPerVertex[a] + targetPerVertex[b]);
        const P d = sub(result.points[a], result.points[b]);
        const double rel = std::sqrt(dot(d, d)) / target;
        ok += rel >= 0.8 && rel <= 4.0 / 3.0;
    }
    q.shareLengthOk = edgeUse.empty() ? 0 : static_cast<double>(ok) / edgeUse.size();
    size_t interior = 0, six = 0;
    for (size_t v = 0; v < valence.size(); ++v) {
        if (open[v] || valence[v] == 0) continue;
        ++interior;
        six += valence[v] == 6;
    }
    q.shareValence6 = interior ? static_cast<double>(six) / interior : 0;

    P lo = {1e300, 1e300, 1e300}, hi = {-1e300, -1e300, -1e300};
    for (const P& p : input.points)
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
    const double diag = std::sqrt(dot(sub(hi, lo), sub(hi, lo)));
    if (!input.triangles.empty() && diag > 0) {
        TriangleGrid grid(input);
        // Vertices and triangle centroids sample the result surface.
        const size_t nv = result.points.size(), n = nv + result.triangles.size();
        const double worst = tbb::parallel_reduce(
            tbb::blocked_range<size_t>(0, n), 0.0,
            [&](const tbb::blocked_range<size_t>& r, double acc) {
                for (size_t i = r.begin(); i != r.end(); ++i) {
                    if (i < nv) {
                        acc = std::max(acc, grid.distance(result.points[i]));
                    } else {
                        const auto& t = result.triangles[i - nv];
                        const P c = mul(add(add(result.points[t[0]], result.points[t[1]]), result.points[t[2]]),
                                        1.0 / 3.0);
                        acc = std::max(acc, grid.distance(c));
                    }
                }
                return acc;
            },
            [](double a, double b) { return std::max(a, b); });
        q.hausdorffRel = worst / diag;
    }
    return q;
}

void printQualityReport(std::FILE* out, const char* label, double seconds, const QualityReport& q)
{
    std::fprintf(out,
                 "%s time_s=%.3f faces=%zu vertices=%zu min_angle=%.2f max_angle=%.2f below30=%.5f "
                 "valence6=%.4f length_ok=%.4f hausdorff=%.6f boundary_edges=%zu complex_edges=%zu\n",
                 label, seconds, q.faces, q.vertices, q.minAngleDeg, q.maxAngleDeg, q.shareBelow30,
                 q.shareValence6, q.shareLengthOk, q.hausdorffRel, q.boundaryEdges, q.complexEdges);
}

QualityMesh qualityMesh(const std::vector<MeshVertex>& records, const std::vector<uint32_t>& indices)
{
    QualityMesh m;
    m.points.reserve(records.size());
    for (const MeshVertex& r : records) m.points.push_back({r.position[0], r.position[1], r.position[2]});
    if (indices.empty()) {
        for (uint32_t k = 0; k + 2 < records.size(); k += 3) m.triangles.push_back({k, k + 1, k + 2});
    } else {
        for (size_t k = 0; k + 2 < indices.size(); k += 3)
            m.triangles.push_back({indices[k], indices[k + 1], indices[k + 2]});
    }
    return m;
}
