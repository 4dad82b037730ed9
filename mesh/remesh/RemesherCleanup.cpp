#include "Remesher.h"

#include "MeshReorder.h"
#include "RemeshParallel.h"

#include <tbb/enumerable_thread_specific.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <utility>

typedef HalfedgeMesh::VertexHandle VH;
typedef HalfedgeMesh::HalfedgeHandle HH;
typedef HalfedgeMesh::FaceHandle FH;

namespace {

const double TwoSqrt3 = 2.0 * std::sqrt(3.0);

double triangleQuality(const OpenMesh::Vec3d& p0, const OpenMesh::Vec3d& p1, const OpenMesh::Vec3d& p2)
{
    const double l = (p1 - p0).sqrnorm() + (p2 - p1).sqrnorm() + (p0 - p2).sqrnorm();
    const double q = TwoSqrt3 * OpenMesh::cross(p1 - p0, p2 - p0).norm() / l;
    // Three coincident corners give 0/0: as bad as a triangle can be.
    return std::isnan(q) ? 0.0 : q;
}

} // namespace

uint64_t Remesher::removeBadTriangles(const RemeshType* remeshType)
{
    HalfedgeMesh& m = working;
    // Qualities depend on the mesh before the pass only; equal qualities keep
    // face index order, a total order whatever the split of the work.
    tbb::enumerable_thread_specific<std::vector<std::pair<FH, double>>> found;
    parallelChunks(m.n_faces(), 2048, [&](const tbb::blocked_range<size_t>& r) {
        auto& local = found.local();
        for (size_t i = r.begin(); i != r.end(); ++i) {
            const FH f(static_cast<int>(i));
            if (m.status(f).deleted()) continue;
            HH h0 = m.halfedge_handle(f);
            HH h1 = m.next_halfedge_handle(h0);
            HH h2 = m.next_halfedge_handle(h1);
            const double q = triangleQuality(m.point(m.to_vertex_handle(h0)), m.point(m.to_vertex_handle(h1)),
                                             m.point(m.to_vertex_handle(h2)));
            if (q < 0.5) local.emplace_back(f, q);
        }
    });
    std::vector<std::pair<FH, double>> bad;
    for (const auto& local : found) bad.insert(bad.end(), local.begin(), local.end());
    if (bad.empty()) return 0;
    parallelSort(bad.begin(), bad.end(), [](const auto& x, const auto& y) {
        return x.second < y.second || (x.second == y.second && x.first.idx() < y.first.idx());
    });

    std::vector<HH> queue;
    for (const auto& [f, quality] : bad) {
        HH h[3];
        h[0] = m.halfedge_handle(f);
        h[1] = m.next_halfedge_handle(h[0]);
        h[2] = m.next_halfedge_handle(h[1]);
        double len[3];
        for (int i = 0; i < 3; ++i) len[i] = m.calc_edge_sqr_length(h[i]);
        // Equal lengths: the first of the face's halfedges in order wins.
        int longest = 0, shortest = 0;
        for (int i = 1; i < 3; ++i) {
            if (len[i] > len[longest]) longest = i;
            if (len[i] < len[shortest]) shortest = i;
        }
        const VH pv = m.from_vertex_handle(h[longest]), qv = m.to_vertex_handle(h[longest]);
        const OpenMesh::Vec3d& p = m.point(pv);
        const OpenMesh::Vec3d& q = m.point(qv);
        const OpenMesh::Vec3d& r = m.point(m.to_vertex_handle(m.next_halfedge_handle(h[longest])));
        const OpenMesh::Vec3d mid = (p + q) * 0.5;
        if (triangleQuality(p, mid, r) >= quality && triangleQuality(mid, q, r) >= quality) {
            splitEdgeAtMidpoint(remeshType, m.edge_handle(h[longest]), pv, qv);
        } else {
            queue.push_back(h[shortest]);
        }
    }

    const uint64_t cap = static_cast<uint64_t>(0.4 * static_cast<double>(queue.size()));
    for (size_t i = 0; i < queue.size() && i <= cap; ++i) {
        const HH h = queue[i];
        if (m.status(m.edge_handle(h)).deleted()) continue;
        if (isCollapseOk(h, remeshType, false) && m.is_collapse_ok(h)) m.collapse(h);
    }
    compactInLocalityOrder(m);
    return bad.size();
}

uint64_t repairDegenerateTriangles(HalfedgeMesh& mesh)
{
    if (!mesh.has_vertex_status()) mesh.request_vertex_status();
    if (!mesh.has_edge_status()) mesh.request_edge_status();
    if (!mesh.has_face_status()) mesh.request_face_status();

    uint64_t count = 0;
    const size_t faceCount = mesh.n_faces();
    for (size_t i = 0; i < faceCount; ++i) {
        const FH f(static_cast<int>(i));
        if (mesh.status(f).deleted()) continue;
        HH h[3];
        h[0] = mesh.halfedge_handle(f);
        h[1] = mesh.next_halfedge_handle(h[0]);
        h[2] = mesh.next_halfedge_handle(h[1]);
        const OpenMesh::Vec3d& p0 = mesh.point(mesh.to_vertex_handle(h[0]));
        const OpenMesh::Vec3d& p1 = mesh.point(mesh.to_vertex_handle(h[1]));
        const OpenMesh::Vec3d& p2 = mesh.point(mesh.to_vertex_handle(h[2]));
        const double area = 0.5 * OpenMesh::cross(p1 - p0, p2 - p0).norm();
        if (area > DBL_EPSILON) continue;
        double s[3];
        for (int k = 0; k < 3; ++k) s[k] = mesh.calc_edge_sqr_length(h[k]);

        if (s[0] > DBL_EPSILON && s[1] > DBL_EPSILON && s[2] > DBL_EPSILON) {
            int longest = 0;
            if (s[1] > s[longest]) longest = 1;
            if (s[2] > s[longest]) longest = 2;
            const HalfedgeMesh::EdgeHandle e = mesh.edge_handle(h[longest]);
            if (mesh.is_flip_ok(e)) {
                mesh.flip(e);
                ++count;
            }
            continue;
        }
        HH target;
        if (s[0] <= DBL_EPSILON)
            target = h[0];
        else if (s[1] > DBL_EPSILON) {
            if (s[2] <= DBL_EPSILON) target = h[2];
        } else
            target = h[1];
        if (target.is_valid() && mesh.is_collapse_ok(target)) {
            mesh.collapse(target);
            ++count;
        }
    }
    if (count == 0) return 0;
    mesh.garbage_collection(true, true, true);
    std::printf("Repaired %llu triangles.\n", static_cast<unsigned long long>(count));
    return count;
}
