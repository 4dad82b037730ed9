#include "Remesher.h"

#include "MeshReorder.h"
#include "RemeshParallel.h"

#include "StringUtils.h"

#include <tbb/enumerable_thread_specific.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <cmath>
#include <stdexcept>
#include <utility>

typedef HalfedgeMesh::VertexHandle VH;
typedef HalfedgeMesh::HalfedgeHandle HH;
typedef HalfedgeMesh::EdgeHandle EH;

namespace {

// Slivers far longer than the target length are split into ever more
// slivers, round after round; a mesh that grows this far past its target
// would only exhaust the memory before it could converge. A mesh that
// shrinks towards a far smaller target is on its way, however large.
void checkGrowth(const HalfedgeMesh& mesh, size_t facesBefore, uint64_t targetCount)
{
    const uint64_t limit = 16 * std::max<uint64_t>(targetCount, 1) + 100000;
    if (mesh.n_faces() > limit && mesh.n_faces() > facesBefore) {
        throw std::runtime_error(stringFormat(
            "@remesh: the mesh grew to %zu faces, far beyond its target of %llu; its triangles are too uneven",
            mesh.n_faces(), static_cast<unsigned long long>(targetCount)));
    }
}

// Collapses along a feature line or the boundary must stay within 4.5 degrees of straight.
const double StraightSinSq = std::pow(std::sin(0.07853981633974483), 2);
// A flipped edge may leave the plane of its old triangle by at most 5 degrees.
const double FlipPlaneSinSq = std::pow(std::sin(0.08726646259971647), 2);
// New corners at the old edge's ends may not exceed 135 degrees.
const double FlipMaxCornerCos = std::cos(2.356194490192345);

constexpr double SplitAbove = 16.0 / 9.0;
constexpr double CollapseBelow = 0.64;

double triangleShape(const OpenMesh::Vec3d& t1, const OpenMesh::Vec3d& t2, const OpenMesh::Vec3d& t3)
{
    const double l = (t2 - t1).sqrnorm() + (t3 - t2).sqrnorm() + (t1 - t3).sqrnorm();
    return OpenMesh::cross(t2 - t1, t3 - t1).norm() / l;
}

// Valence minus its target: 6 inside, from the corner angle on the boundary.
int valenceDeviationOf(const HalfedgeMesh& m, VH v, double pi)
{
    const int val = static_cast<int>(m.valence(v));
    if (!m.is_boundary(v)) return val - 6;
    double theta = 0.0;
    const OpenMesh::Vec3d& p = m.point(v);
    for (HH g : m.voh_range(v)) {
        if (!m.face_handle(g).is_valid()) continue;
        const OpenMesh::Vec3d x = m.point(m.to_vertex_handle(g)) - p;
        const OpenMesh::Vec3d y = m.point(m.to_vertex_handle(m.next_halfedge_handle(g))) - p;
        const double c = OpenMesh::dot(x, y) / (x.norm() * y.norm());
        if (std::isfinite(c)) theta += std::acos(std::clamp(c, -1.0, 1.0));
    }
    return val - std::max(static_cast<int>(std::round(theta * 3.0 / pi)) + 1, 2);
}

} // namespace

void Remesher::splitLongCollapseShortEdges(int32_t rounds, const RemeshType* remeshType)
{
    HalfedgeMesh& m = working;
    const RemeshType t = *remeshType;
    typedef std::pair<double, int32_t> Candidate;
    for (int32_t round = 0; round < rounds; ++round) {
        const size_t facesBefore = m.n_faces();
        // Every edge's value depends on the mesh before the round only, so
        // the values are gathered in parallel. Only the edges to split and
        // to collapse are listed: they are the two ends of the edges sorted
        // by value, and equal values keep edge index order (a total order,
        // so the result does not depend on how the work is split up).
        const size_t edgeCount = m.n_edges();
        const RemeshType lengthType = t == RemeshTypeAdaptive ? t : RemeshTypeUniform;
        tbb::enumerable_thread_specific<std::pair<std::vector<Candidate>, std::vector<Candidate>>> found;
        tbb::enumerable_thread_specific<size_t> alive(0);
        parallelChunks(edgeCount, 2048, [&](const tbb::blocked_range<size_t>& r) {
            auto& [longOnes, shortOnes] = found.local();
            size_t& count = alive.local();
            for (size_t i = r.begin(); i != r.end(); ++i) {
                const EH e(static_cast<int>(i));
                if (m.status(e).deleted()) continue;
                ++count;
                const HH h0 = m.halfedge_handle(e, 0);
                const HH h1 = m.halfedge_handle(e, 1);
                const VH a = m.to_vertex_handle(h0), b = m.to_vertex_handle(h1);
                const double target = edgeTargetLength(a, b, lengthType);
                const double value = (m.point(a) - m.point(b)).sqrnorm() / (target * target);
                m.status(e).set_locked(false);
                // An undefined ratio neither splits nor collapses.
                if (value > SplitAbove) longOnes.emplace_back(value, static_cast<int32_t>(i));
                else if (value < CollapseBelow) shortOnes.emplace_back(value, static_cast<int32_t>(i));
            }
        });
        std::vector<Candidate> splits, collapses;
        for (auto& [longOnes, shortOnes] : found) {
            splits.insert(splits.end(), longOnes.begin(), longOnes.end());
            collapses.insert(collapses.end(), shortOnes.begin(), shortOnes.end());
        }
        found.clear();
        const size_t listed = alive.combine(std::plus<size_t>());
        // Collapses stop at 40 % of the listed edges, counted from the shortest.
        const size_t cap = static_cast<size_t>(0.4 * static_cast<double>(listed));
        parallelSort(splits.begin(), splits.end());
        parallelSort(collapses.begin(), collapses.end());
        if (collapses.size() > cap + 1) collapses.resize(cap + 1);

        // Room for every split at once: growing step by step would double the arrays.
        const size_t s = splits.size();
        m.reserve(m.n_vertices() + s, m.n_edges() + 3 * s, m.n_faces() + 2 * s);
        for (size_t i = splits.size(); i-- > 0;) {
            EH e(splits[i].second);
            HH h0 = m.halfedge_handle(e, 0);
            splitEdgeAtMidpoint(remeshType, e, m.from_vertex_handle(h0), m.to_vertex_handle(h0));
        }
        std::vector<Candidate>().swap(splits);
        collapseShortEdges(collapses, remeshType);
        compactInLocalityOrder(m);
        checkGrowth(m, facesBefore, targetCount);
    }
}

void Remesher::collapseShortEdges(const std::vector<std::pair<double, int32_t>>& list, const RemeshType* remeshType)
{
    HalfedgeMesh& m = working;
    // The tests of both directions of every listed edge, made in parallel on
    // the mesh before any collapse. A collapse changes the one-rings of the
    // removed vertex and its neighbours only; the test of a halfedge reads
    // the one-ring of its start, so an answer holds until its start is
    // marked changed, and is made again in the sweep after that.
    std::vector<uint8_t> tested(list.size());
    parallelChunks(list.size(), 256, [&](const tbb::blocked_range<size_t>& r) {
        for (size_t i = r.begin(); i != r.end(); ++i) {
            const EH e(list[i].second);
            tested[i] = static_cast<uint8_t>(isCollapseOk(m.halfedge_handle(e, 0), remeshType, true) |
                                             isCollapseOk(m.halfedge_handle(e, 1), remeshType, true) << 1);
        }
    });
    std::vector<uint8_t> changed(m.n_vertices(), 0);

    for (size_t i = 0; i < list.size(); ++i) {
        EH e(list[i].second);
        if (m.status(e).locked() || m.status(e).deleted()) continue;
        HH h0 = m.halfedge_handle(e, 0);
        HH h1 = m.halfedge_handle(e, 1);
        VH u = m.from_vertex_handle(h0), v = m.to_vertex_handle(h0);
        if (m.status(u).deleted() || m.status(v).deleted()) continue;
        const bool ok0 = changed[u.idx()] ? isCollapseOk(h0, remeshType, true) : (tested[i] & 1) != 0;
        const bool ok1 = changed[v.idx()] ? isCollapseOk(h1, remeshType, true) : (tested[i] & 2) != 0;
        HH chosen;
        if (ok0 && ok1)
            chosen = m.valence(u) > m.valence(v) ? h1 : h0;
        else if (ok0)
            chosen = h0;
        else if (ok1)
            chosen = h1;
        else
            continue;
        if (!m.is_collapse_ok(chosen)) continue;
        const EH touched[4] = {m.edge_handle(m.next_halfedge_handle(h0)), m.edge_handle(m.prev_halfedge_handle(h0)),
                               m.edge_handle(m.next_halfedge_handle(h1)), m.edge_handle(m.prev_halfedge_handle(h1))};
        const VH removed = m.from_vertex_handle(chosen);
        changed[removed.idx()] = 1;
        for (VH w : m.vv_range(removed)) changed[w.idx()] = 1;
        m.collapse(chosen);
        for (EH te : touched) m.status(te).set_locked(true);
    }
}

void Remesher::splitEdgeAtMidpoint(const RemeshType* remeshType, EH e, VH a, VH b)
{
    HalfedgeMesh& m = working;
    const bool feature = m.status(e).feature();
    VH mid = m.add_vertex((m.point(a) + m.point(b)) * 0.5);
    m.split(e, mid);

    OpenMesh::Vec3d n = m.normal(a) + m.normal(b);
    const double len = n.norm();
    if (len > 1e-12 && std::isfinite(len)) {
        n /= len;
    } else {
        // Opposite end normals: take the normal of a triangle at the new vertex.
        n = OpenMesh::Vec3d(0, 0, 0);
        for (HalfedgeMesh::FaceHandle f : m.vf_range(mid)) {
            n = m.calc_face_normal(f);
            if (n.sqrnorm() > 0.0) break;
        }
    }
    m.set_normal(mid, n);

    if (*remeshType == RemeshTypeAdaptive) {
        m.property(adaptiveSizing, mid) = (m.property(adaptiveSizing, a) + m.property(adaptiveSizing, b)) * 0.5;
    }
    if (feature) {
        int marked = 0;
        for (HH g : m.voh_range(mid)) {
            VH w = m.to_vertex_handle(g);
            if (w == a || w == b) {
                m.status(m.edge_handle(g)).set_feature(true);
                if (++marked == 2) break;
            }
        }
    }
}

bool Remesher::isCollapseOk(HH h, const RemeshType* remeshType, bool checkLength) const
{
    const HalfedgeMesh& m = working;
    const VH u = m.from_vertex_handle(h);
    const VH v = m.to_vertex_handle(h);
    const OpenMesh::Vec3d& pu = m.point(u);
    const OpenMesh::Vec3d& pv = m.point(v);

    for (HH g : m.voh_range(u)) {
        if (g == h) continue;
        const EH e = m.edge_handle(g);
        if (!m.status(e).feature() && !m.is_boundary(e)) continue;
        const OpenMesh::Vec3d& pw = m.point(m.to_vertex_handle(g));
        const OpenMesh::Vec3d a = pu - pw, b = pv - pw;
        const double ab = OpenMesh::dot(a, b);
        if (1.0 - ab * ab / (a.sqrnorm() * b.sqrnorm()) > StraightSinSq) return false;
    }

    if (checkLength) {
        double bound = 0.0;
        bool boundSet = false;
        for (HH g : m.voh_range(u)) {
            const VH w = m.to_vertex_handle(g);
            if (w == v) continue;
            if (!boundSet) {
                if (*remeshType == RemeshTypeUniform) {
                    bound = maxLengthSq;
                } else if (*remeshType == RemeshTypeAdaptive) {
                    const double s = (m.property(adaptiveSizing, v) + m.property(adaptiveSizing, u)) / 2.0 * 4.0 / 3.0;
                    bound = s * s;
                } else {
                    throw std::runtime_error("@isCollapseOk: Remesh type must be Uniform or Adaptive");
                }
                boundSet = true;
            }
            if ((pv - m.point(w)).sqrnorm() > bound) return false;
        }
    }

    const HH skip = m.next_halfedge_handle(m.opposite_halfedge_handle(h));
    for (HH g : m.voh_range(u)) {
        if (g == h || g == skip || !m.face_handle(g).is_valid()) continue;
        const OpenMesh::Vec3d& pa = m.point(m.to_vertex_handle(g));
        const OpenMesh::Vec3d& pb = m.point(m.to_vertex_handle(m.next_halfedge_handle(g)));
        if (OpenMesh::dot(OpenMesh::cross(pa - pu, pb - pu), OpenMesh::cross(pa - pv, pb - pv)) < 0.0) {
            return false;
        }
    }
    return true;
}

void Remesher::equalizeValences()
{
    HalfedgeMesh& m = working;
    const double pi = std::acos(-1.0);
    // Each vertex's deviation depends on its own neighbourhood only.
    parallelChunks(m.n_vertices(), 2048, [&](const tbb::blocked_range<size_t>& r) {
        for (size_t i = r.begin(); i != r.end(); ++i) {
            const VH v(static_cast<int>(i));
            if (m.status(v).deleted()) continue;
            m.property(valenceDeviation, v) = valenceDeviationOf(m, v, pi);
        }
    });

    // Every edge's decision on the mesh before any flip, made in parallel. A
    // flip changes the deviations and one-rings of its four corners only, and
    // an edge's decision reads those of its own four corners: it holds until
    // one of them is marked changed, and is made again in the sweep after that.
    auto corners = [&m](EH e, VH q[4]) {
        const HH h0 = m.halfedge_handle(e, 0), h1 = m.halfedge_handle(e, 1);
        q[0] = m.from_vertex_handle(h0), q[1] = m.to_vertex_handle(h0);
        q[2] = m.to_vertex_handle(m.next_halfedge_handle(h0));
        q[3] = m.to_vertex_handle(m.next_halfedge_handle(h1));
    };
    auto decide = [&](EH e, const VH q[4]) { return isFlipBeneficial(q[0], q[1], q[2], q[3]) && m.is_flip_ok(e); };
    const size_t edgeCount = m.n_edges();
    std::vector<uint8_t> decided(edgeCount, 0);
    parallelChunks(edgeCount, 2048, [&](const tbb::blocked_range<size_t>& r) {
        for (size_t i = r.begin(); i != r.end(); ++i) {
            const EH e(static_cast<int>(i));
            if (m.status(e).deleted() || m.status(e).feature() || m.is_boundary(e)) continue;
            VH q[4];
            corners(e, q);
            decided[i] = decide(e, q);
        }
    });
    std::vector<uint8_t> changed(m.n_vertices(), 0);

    for (EH e : m.edges()) {
        if (m.status(e).feature() || m.is_boundary(e)) continue;
        VH q[4];
        corners(e, q);
        const bool stale = changed[q[0].idx()] | changed[q[1].idx()] | changed[q[2].idx()] | changed[q[3].idx()];
        if (!(stale ? decide(e, q) : decided[e.idx()] != 0)) continue;
        m.flip(e);
        --m.property(valenceDeviation, q[0]);
        --m.property(valenceDeviation, q[1]);
        ++m.property(valenceDeviation, q[2]);
        ++m.property(valenceDeviation, q[3]);
        for (VH v : q) changed[v.idx()] = 1;
    }
}

bool Remesher::isFlipBeneficial(VH a, VH b, VH c, VH d) const
{
    const HalfedgeMesh& m = working;
    const int da = m.property(valenceDeviation, a), db = m.property(valenceDeviation, b);
    const int dc = m.property(valenceDeviation, c), dd = m.property(valenceDeviation, d);
    const int before = da * da + db * db + dc * dc + dd * dd;
    const int after = (da - 1) * (da - 1) + (db - 1) * (db - 1) + (dc + 1) * (dc + 1) + (dd + 1) * (dd + 1);
    if (after > before) return false;

    const OpenMesh::Vec3d &pa = m.point(a), &pb = m.point(b), &pc = m.point(c), &pd = m.point(d);
    const OpenMesh::Vec3d n = OpenMesh::cross(pd - pa, pb - pa);
    const OpenMesh::Vec3d e = pc - pd;
    const double ne = OpenMesh::dot(n, e);
    if (ne * ne / (n.sqrnorm() * e.sqrnorm()) > FlipPlaneSinSq) return false;

    const OpenMesh::Vec3d xa = pc - pa, ya = pd - pa;
    const double dotA = OpenMesh::dot(xa, ya);
    if (dotA < 0.0 && dotA / (xa.norm() * ya.norm()) < FlipMaxCornerCos) return false;
    const OpenMesh::Vec3d xb = pc - pb, yb = pd - pb;
    const double dotB = OpenMesh::dot(xb, yb);
    if (dotB < 0.0 && dotB / (xb.norm() * yb.norm()) < FlipMaxCornerCos) return false;

    if (after < before) return true;
    if (!(dotA > 0.0) && !(dotB > 0.0)) return false;
    return triangleShape(pa, pb, pc) + triangleShape(pa, pb, pd) <=
           triangleShape(pa, pc, pd) + triangleShape(pb, pc, pd);
}
