#include "Remesher.h"

#include "RemeshParallel.h"
#include "Timer.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

typedef HalfedgeMesh::VertexHandle VH;
typedef HalfedgeMesh::HalfedgeHandle HH;
typedef HalfedgeMesh::FaceHandle FH;
typedef OpenMesh::Vec3d Vec3;

namespace {

constexpr float NoHitDistance = FLT_MAX;
constexpr double SnapTolerance = FLT_EPSILON;

Vec3 closestOnSegment(const Vec3& p, const Vec3& a, const Vec3& b, double& t)
{
    const Vec3 ab = b - a;
    const double len = ab.sqrnorm();
    t = len > 0.0 ? std::clamp(OpenMesh::dot(p - a, ab) / len, 0.0, 1.0) : 0.0;
    return a + t * ab;
}

} // namespace

Vec3 closestPointOnTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c, double& u,
                            double& v, double& w)
{
    const Vec3 ab = b - a, ac = c - a, ap = p - a;
    const double d1 = OpenMesh::dot(ab, ap), d2 = OpenMesh::dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) {
        u = 1.0, v = 0.0, w = 0.0;
        return a;
    }
    const Vec3 bp = p - b;
    const double d3 = OpenMesh::dot(ab, bp), d4 = OpenMesh::dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) {
        u = 0.0, v = 1.0, w = 0.0;
        return b;
    }
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) {
        const double t = d1 / (d1 - d3);
        u = 1.0 - t, v = t, w = 0.0;
        return a + t * ab;
    }
    const Vec3 cp = p - c;
    const double d5 = OpenMesh::dot(ab, cp), d6 = OpenMesh::dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) {
        u = 0.0, v = 0.0, w = 1.0;
        return c;
    }
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) {
        const double t = d2 / (d2 - d6);
        u = 1.0 - t, v = 0.0, w = t;
        return a + t * ac;
    }
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && (d4 - d3) >= 0.0 && (d5 - d6) >= 0.0) {
        const double t = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        u = 0.0, v = 1.0 - t, w = t;
        return b + t * (c - b);
    }
    const double sum = va + vb + vc;
    if (!(sum > 0.0) || !std::isfinite(sum)) {
        // A degenerate triangle has no interior: take the nearest of its sides.
        double tab, tac, tbc;
        const Vec3 qab = closestOnSegment(p, a, b, tab);
        const Vec3 qac = closestOnSegment(p, a, c, tac);
        const Vec3 qbc = closestOnSegment(p, b, c, tbc);
        const double dab = (qab - p).sqrnorm(), dac = (qac - p).sqrnorm(), dbc = (qbc - p).sqrnorm();
        if (dab <= dac && dab <= dbc) {
            u = 1.0 - tab, v = tab, w = 0.0;
            return qab;
        }
        if (dac <= dbc) {
            u = 1.0 - tac, v = 0.0, w = tac;
            return qac;
        }
        u = 0.0, v = 1.0 - tbc, w = tbc;
        return qbc;
    }
    const double denom = 1.0 / sum;
    v = vb * denom;
    w = vc * denom;
    u = 1.0 - v - w;
    return a + ab * v + ac * w;
}

void Remesher::projectToRefSurface(const RemeshType* remeshType)
{
    Timer timer("projectToRefSurface", true);
    const RemeshType t = *remeshType;
    if (working.n_vertices() > RemeshSerialVertexLimit) {
        parallelIndices(working.n_vertices(), 512, [&](size_t i) {
            const VH v(static_cast<int>(i));
            if (!working.status(v).deleted()) projectVertexToRefSurface(v, t);
        });
    } else {
        for (VH v : working.vertices()) projectVertexToRefSurface(v, t);
    }
}

void Remesher::projectVertexToRefSurface(VH x, RemeshType remeshType)
{
    if (!reference) return;
    const HalfedgeMesh& ref = *reference;
    const Vec3 p = working.point(x);
    Vec3 n = working.normal(x);
    const double nLen = n.norm();
    if (!(nLen > 0.0) || !std::isfinite(nLen)) return;
    n /= nLen;

    const float cap = static_cast<float>(remeshType == RemeshTypeAdaptive ? working.property(adaptiveSizing, x)
                                                                          : targetLength);
    const double org[3] = {p[0], p[1], p[2]};
    const double fwd[3] = {n[0], n[1], n[2]};
    const double bwd[3] = {-n[0], -n[1], -n[2]};
    uint32_t primF = static_cast<uint32_t>(-1), primB = static_cast<uint32_t>(-1);
    float distF = NoHitDistance, distB = NoHitDistance;
    const bool hitF = refSurface.intersect(org, fwd, 0.0f, cap, primF, &distF);
    const bool hitB = refSurface.intersect(org, bwd, 0.0f, cap, primB, &distB);
    if (!hitF && !hitB) return;
    const uint32_t prim = (hitB && distB < distF) || !hitF ? primB : primF;
    if (prim >= ref.n_faces()) return;

    Hit hit;
    hit.face = FH(static_cast<int>(prim));
    const HH h0 = ref.halfedge_handle(hit.face);
    hit.corners[0] = ref.from_vertex_handle(h0);
    hit.corners[1] = ref.to_vertex_handle(h0);
    hit.corners[2] = ref.to_vertex_handle(ref.next_halfedge_handle(h0));
    hit.point = closestPointOnTriangle(p, ref.point(hit.corners[0]), ref.point(hit.corners[1]),
                                       ref.point(hit.corners[2]), hit.u, hit.v, hit.w);
    hit.best = (hit.point - p).sqrnorm();

    const double u = hit.u, v = hit.v, w = hit.w;
    if (std::abs(u - 1.0) < SnapTolerance) {
        snapToFacesAroundVertex(p, hit.corners[0], hit);
    } else if (std::abs(v - 1.0) < SnapTolerance) {
        snapToFacesAroundVertex(p, hit.corners[1], hit);
    } else if (std::abs(w - 1.0) < SnapTolerance) {
        snapToFacesAroundVertex(p, hit.corners[2], hit);
    } else if (std::abs(u + v - 1.0) < SnapTolerance) {
        snapToFaceAcrossEdge(p, h0, hit);
    } else if (std::abs(u + w - 1.0) < SnapTolerance) {
        snapToFaceAcrossEdge(p, ref.next_halfedge_handle(ref.next_halfedge_handle(h0)), hit);
    } else if (std::abs(v + w - 1.0) < SnapTolerance) {
        snapToFaceAcrossEdge(p, ref.next_halfedge_handle(h0), hit);
    }

    working.set_point(x, hit.point);
    Vec3 blended = hit.u * ref.normal(hit.corners[0]) + hit.v * ref.normal(hit.corners[1]) +
                   hit.w * ref.normal(hit.corners[2]);
    const double len = blended.norm();
    if (len > 0.0 && std::isfinite(len)) {
        blended /= len;
    } else {
        // Opposing reference normals (a thin double sheet): use the face's own.
        blended = OpenMesh::cross(ref.point(hit.corners[1]) - ref.point(hit.corners[0]),
                                  ref.point(hit.corners[2]) - ref.point(hit.corners[0]));
        const double fl = blended.norm();
        blended = fl > 0.0 ? blended / fl : n;
    }
    working.set_normal(x, blended);
    if (remeshType == RemeshTypeAdaptive && refSizing.size() == ref.n_vertices()) {
        working.property(adaptiveSizing, x) = hit.u * refSizing[hit.corners[0].idx()] +
                                              hit.v * refSizing[hit.corners[1].idx()] +
                                              hit.w * refSizing[hit.corners[2].idx()];
    }
}

void Remesher::snapToFacesAroundVertex(const Vec3& p, VH x, Hit& hit) const
{
    const HalfedgeMesh& ref = *reference;
    const FH hitFace = hit.face;
    for (HH g : ref.voh_range(x)) {
        const FH f = ref.face_handle(g);
        if (!f.is_valid() || f == hitFace) continue;
        const VH b = ref.to_vertex_handle(g);
        const VH c = ref.to_vertex_handle(ref.next_halfedge_handle(g));
        double w0, w1, w2;
        const Vec3 q = closestPointOnTriangle(p, ref.point(x), ref.point(b), ref.point(c), w0, w1, w2);
        if (w0 == 1.0) continue;
        const double d = (q - p).sqrnorm();
        if (d < hit.best) {
            hit.point = q;
            hit.u = w0, hit.v = w1, hit.w = w2;
            hit.best = d;
            hit.corners[0] = x, hit.corners[1] = b, hit.corners[2] = c;
            hit.face = f;
        }
    }
}

void Remesher::snapToFaceAcrossEdge(const Vec3& p, HH h, Hit& hit) const
{
    const HalfedgeMesh& ref = *reference;
    const HH o = ref.opposite_halfedge_handle(h);
    const FH f = ref.face_handle(o);
    if (!f.is_valid()) return;
    const HH g = ref.halfedge_handle(f);
    const VH a = ref.from_vertex_handle(g), b = ref.to_vertex_handle(g);
    const VH c = ref.to_vertex_handle(ref.next_halfedge_handle(g));
    double w0, w1, w2;
    const Vec3 q = closestPointOnTriangle(p, ref.point(a), ref.point(b), ref.point(c), w0, w1, w2);
    const double d = (q - p).sqrnorm();
    if (d < hit.best) {
        hit.point = q;
        hit.u = w0, hit.v = w1, hit.w = w2;
        hit.best = d;
        hit.corners[0] = a, hit.corners[1] = b, hit.corners[2] = c;
        hit.face = f;
    }
}
