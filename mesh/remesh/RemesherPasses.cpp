#include "Remesher.h"

#include "StringUtils.h"

#include <tbb/parallel_for.h>
#include <tbb/parallel_sort.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

typedef HalfedgeMesh::VertexHandle VH;
typedef HalfedgeMesh::HalfedgeHandle HH;
typedef HalfedgeMesh::EdgeHandle EH;

namespace {

// Slivers far longer than the target length are split into ever more
// slivers, round after round; a mesh that grows this far past its target
// would only exhaust the memory before it could converge.
void checkGrowth(const HalfedgeMesh& mesh, uint64_t targetCount)
{
    const uint64_t limit = 16 * std::max<uint64_t>(targetCount, 1) + 100000;
    if (mesh.n_faces() > limit) {
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
    std::vector<std::pair<int32_t, double>> list;
    for (int32_t round = 0; round < rounds; ++round) {
        // Every edge's value depends on the mesh before the round only, so
        // the values are gathered in parallel and listed in edge order.
        const size_t edgeCount = m.n_edges();
        std::vector<double> values(edgeCount);
        const RemeshType lengthType = t == RemeshTypeAdaptive ? t : RemeshTypeUniform;
        tbb::parallel_for(tbb::blocked_range<size_t>(0, edgeCount, 2048), [&](const tbb::blocked_range<size_t>& r) {
            for (size_t i = r.begin(); i != r.end(); ++i) {
                const EH e(static_cast<int>(i));
                if (m.status(e).deleted()) continue;
                const HH h0 = m.halfedge_handle(e, 0);
                const HH h1 = m.halfedge_handle(e, 1);
                const VH a = m.to_vertex_handle(h0), b = m.to_vertex_handle(h1);
                const double target = edgeTargetLength(a, b, lengthType);
                double value = (m.point(a) - m.point(b)).sqrnorm() / (target * target);
                // An undefined ratio neither splits nor collapses (and keeps the sort well-defined).
                if (std::isnan(value)) value = 1.0;
                values[i] = value;
                m.status(e).set_locked(false);
            }
        });
        list.clear();
        list.reserve(edgeCount);
        for (size_t i = 0; i < edgeCount; ++i) {
            if (!m.status(EH(static_cast<int>(i))).deleted()) list.emplace_back(static_cast<int32_t>(i), values[i]);
        }
        std::vector<double>().swap(values);
        // Equal lengths keep edge index order: a total order, so the result
        // does not depend on how the sort is split up.
        tbb::parallel_sort(list.begin(), list.end(), [](const auto& x, const auto& y) {
            return x.second < y.second || (x.second == y.second && x.first < y.first);
        });

        for (size_t i = list.size(); i-- > 0;) {
            if (!(list[i].second > SplitAbove)) break;
            EH e(list[i].first);
            HH h0 = m.halfedge_handle(e, 0);
            splitEdgeAtMidpoint(remeshType, e, m.from_vertex_handle(h0), m.to_vertex_handle(h0));
        }

        const uint64_t cap = static_cast<uint64_t>(0.4 * static_cast<double>(list.size()));
        for (size_t i = 0; i < list.size() && i <= cap; ++i) {
            if (!(list[i].second < CollapseBelow)) break;
            EH e(list[i].first);
            if (m.status(e).locked() || m.status(e).deleted()) continue;
            HH h0 = m.halfedge_handle(e, 0);
            HH h1 = m.halfedge_handle(e, 1);
            VH u = m.from_vertex_handle(h0), v = m.to_vertex_handle(h0);
            if (m.status(u).deleted() || m.status(v).deleted()) continue;
            const bool ok0 = isCollapseOk(h0, remeshType, true);
            const bool ok1 = isCollapseOk(h1, remeshType, true);
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
            const EH touched[4] = {m.edge_handle(m.next_halfedge_handle(h0)),
                                   m.edge_handle(m.prev_halfedge_handle(h0)),
                                   m.edge_handle(m.next_halfedge_handle(h1)),
                                   m.edge_handle(m.prev_halfedge_handle(h1))};
            m.collapse(chosen);
            for (EH te : touched) m.status(te).set_locked(true);
        }
        m.garbage_collection(true, true, true);
        checkGrowth(m, targetCount);
    }
    std::vector<std::pair<int32_t, double>>().swap(list);
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
    tbb::parallel_for(tbb::blocked_range<size_t>(0, m.n_vertices(), 2048), [&](const tbb::blocked_range<size_t>& r) {
        for (size_t i = r.begin(); i != r.end(); ++i) {
            const VH v(static_cast<int>(i));
            if (m.status(v).deleted()) continue;
            m.property(valenceDeviation, v) = valenceDeviationOf(m, v, pi);
        }
    });

    for (EH e : m.edges()) {
        if (m.status(e).feature() || m.is_boundary(e)) continue;
        HH h0 = m.halfedge_handle(e, 0);
        HH h1 = m.halfedge_handle(e, 1);
        VH a = m.from_vertex_handle(h0), b = m.to_vertex_handle(h0);
        VH c = m.to_vertex_handle(m.next_halfedge_handle(h0));
        VH d = m.to_vertex_handle(m.next_halfedge_handle(h1));
        if (isFlipBeneficial(a, b, c, d) && m.is_flip_ok(e)) {
            m.flip(e);
            --m.property(valenceDeviation, a);
            --m.property(valenceDeviation, b);
            ++m.property(valenceDeviation, c);
            ++m.property(valenceDeviation, d);
        }
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
