#include "TestMeshes.h"

#include "remesh/MeshConversion.h"
#include "remesh/Remesher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

const RemeshType Uniform = RemeshTypeUniform;
const RemeshType Adaptive = RemeshTypeAdaptive;
typedef HalfedgeMesh::VertexHandle VH;

VH findVertex(const HalfedgeMesh& m, const OpenMesh::Vec3d& p)
{
    for (auto v : m.vertices())
        if ((m.point(v) - p).norm() < 1e-6) return v;
    return VH();
}

// A grid of n x n squares with in-plane jitter, padded with isolated
// vertices up to the requested count.
HalfedgeMesh jitteredGrid(int n, size_t vertexCount, double lift = 0.0)
{
    FlatMesh m = makeGrid(n, 1.0);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(-0.2 / n, 0.2 / n);
    for (auto& r : m.records) {
        r.position[0] += float(jitter(rng));
        r.position[1] += float(jitter(rng));
        r.position[2] += float(lift * jitter(rng));
    }
    while (m.records.size() < vertexCount) m.add(2.0, 2.0, 2.0);
    return toHalfedge(m);
}

} // namespace

TEST(TangentialSmoothing, FixedVerticesAndTangentialMoves)
{
    HalfedgeMesh ref = toHalfedge(makeGrid(2, 2.0));
    Remesher r(&ref);
    r.initWorkingMesh();
    HalfedgeMesh& w = r.working;
    VH centre = findVertex(w, {1, 1, 0});
    VH corner = findVertex(w, {0, 0, 0});
    // At the centre of its neighbours: stays.
    r.tangentialSmoothing(1, false, &Uniform, nullptr);
    EXPECT_EQ(w.point(centre), OpenMesh::Vec3d(1, 1, 0));
    EXPECT_EQ(w.point(corner), OpenMesh::Vec3d(0, 0, 0));

    // Lifted along its normal only: stays. Moved in plane by s: moves 0.75 s back.
    w.set_point(centre, {1, 1, 0.3});
    r.tangentialSmoothing(1, false, &Uniform, nullptr);
    EXPECT_EQ(w.point(centre), OpenMesh::Vec3d(1, 1, 0.3));
    w.set_point(centre, {1.2, 1, 0});
    r.tangentialSmoothing(1, false, &Uniform, nullptr);
    EXPECT_NEAR(w.point(centre)[0], 1.05, 1e-12);
    EXPECT_NEAR(w.point(centre)[1], 1.0, 1e-12);

    // With area weights all zero the vertex keeps its place.
    for (auto v : w.vertices())
        if (v != centre) w.set_point(v, {0, 0, 0});
    w.set_point(centre, {1.2, 1, 0});
    r.tangentialSmoothing(1, true, &Uniform, nullptr);
    EXPECT_EQ(w.point(centre), OpenMesh::Vec3d(1.2, 1, 0));

    // Zero iterations leave no helper property behind.
    const size_t props = w.n_vprops();
    r.tangentialSmoothing(0, true, &Uniform, nullptr);
    EXPECT_EQ(w.n_vprops(), props);
    OpenMesh::VPropHandleT<double> h;
    EXPECT_FALSE(w.get_property_handle(h, "vertWeight"));
}

TEST(TangentialSmoothing, FeatureVerticesAndBadNormalsStay)
{
    HalfedgeMesh ref = toHalfedge(makeCube());
    Remesher r(&ref);
    r.setup(&Uniform, 500, 5.0);
    r.splitLongCollapseShortEdges(1, &Uniform);
    HalfedgeMesh before = r.working;
    r.tangentialSmoothing(3, true, &Uniform, nullptr);
    for (auto v : r.working.vertices()) {
        bool onFeature = false;
        for (auto g : r.working.voh_range(v)) onFeature |= r.working.status(r.working.edge_handle(g)).feature();
        if (onFeature) {
            EXPECT_EQ(r.working.point(v), before.point(v));
        }
    }

    // A zero normal gives no tangent plane: no move, and nothing non-finite.
    HalfedgeMesh grid = toHalfedge(makeGrid(2, 2.0));
    Remesher g(&grid);
    g.initWorkingMesh();
    VH centre = findVertex(g.working, {1, 1, 0});
    g.working.set_point(centre, {1.2, 1, 0});
    g.working.set_normal(centre, {0, 0, 0});
    g.tangentialSmoothing(1, false, &Uniform, nullptr);
    EXPECT_EQ(g.working.point(centre), OpenMesh::Vec3d(1.2, 1, 0));
}

TEST(TangentialSmoothing, SerialAndParallelPathsAgree)
{
    const int n = 315; // 316^2 = 99856 grid vertices
    HalfedgeMesh serialRef = jitteredGrid(n, RemeshSerialVertexLimit);
    HalfedgeMesh parallelRef = jitteredGrid(n, RemeshSerialVertexLimit + 1);
    ASSERT_EQ(serialRef.n_vertices(), 100000u);
    ASSERT_EQ(parallelRef.n_vertices(), 100001u);
    Remesher a(&serialRef), b(&parallelRef);
    a.initWorkingMesh();
    b.initWorkingMesh();
    a.tangentialSmoothing(2, true, &Uniform, nullptr);
    b.tangentialSmoothing(2, true, &Uniform, nullptr);
    size_t moved = 0;
    for (auto v : a.working.vertices()) {
        ASSERT_EQ(a.working.point(v), b.working.point(v)) << v.idx();
        moved += a.working.point(v) != serialRef.point(v);
    }
    EXPECT_GT(moved, 90000u);

    // The projection takes the same two paths.
    a.targetLength = b.targetLength = 0.05;
    for (auto v : a.working.vertices()) {
        a.working.set_point(v, a.working.point(v) + OpenMesh::Vec3d(0, 0, 0.001));
        b.working.set_point(v, b.working.point(v) + OpenMesh::Vec3d(0, 0, 0.001));
    }
    a.projectToRefSurface(&Uniform);
    b.projectToRefSurface(&Uniform);
    for (auto v : a.working.vertices()) {
        ASSERT_EQ(a.working.point(v), b.working.point(v)) << v.idx();
        ASSERT_EQ(a.working.normal(v), b.working.normal(v)) << v.idx();
    }
}

TEST(Projection, ClosestPointRegions)
{
    const OpenMesh::Vec3d a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    double u, v, w;
    EXPECT_EQ(closestPointOnTriangle({-1, -1, 0}, a, b, c, u, v, w), a);
    EXPECT_EQ(u, 1.0);
    EXPECT_EQ(closestPointOnTriangle({2, -1, 0}, a, b, c, u, v, w), b);
    EXPECT_EQ(v, 1.0);
    auto q = closestPointOnTriangle({0.5, -1, 0}, a, b, c, u, v, w);
    EXPECT_EQ(q, OpenMesh::Vec3d(0.5, 0, 0));
    EXPECT_EQ(w, 0.0);
    q = closestPointOnTriangle({0.2, 0.3, 5}, a, b, c, u, v, w);
    EXPECT_NEAR((q - OpenMesh::Vec3d(0.2, 0.3, 0)).norm(), 0.0, 1e-15);
    EXPECT_NEAR(u + v + w, 1.0, 1e-15);
    EXPECT_NEAR(v, 0.2, 1e-15);
    EXPECT_NEAR(w, 0.3, 1e-15);
    // Collinear corners: the nearest side, still a convex blend.
    q = closestPointOnTriangle({0.5, 1, 0}, a, b, {2, 0, 0}, u, v, w);
    EXPECT_NEAR((q - OpenMesh::Vec3d(0.5, 0, 0)).norm(), 0.0, 1e-15);
    EXPECT_NEAR(u + v + w, 1.0, 1e-15);
}

TEST(Projection, RaysAlongTheNormal)
{
    // One triangle with three different corner normals.
    FlatMesh m;
    m.tri(m.add(0, 0, 0, 0, 0, 1), m.add(3, 0, 0, 1, 0, 1), m.add(0, 3, 0, 0, 1, 1));
    HalfedgeMesh ref = toHalfedge(m);
    Remesher r(&ref);
    r.initWorkingMesh();
    r.targetLength = 1.0;
    HalfedgeMesh& w = r.working;
    // Above the centroid: lands on it with the blended, normalised normal.
    w.set_point(VH(0), {1, 1, 0.5});
    w.set_normal(VH(0), {0, 0, 1});
    // Too far along both directions: stays as it is.
    w.set_point(VH(1), {1, 1, 2});
    w.set_normal(VH(1), {0, 0, 1});
    // Below the surface, with the normal pointing away: the backward ray finds it.
    w.set_point(VH(2), {0.5, 0.5, 0.25});
    w.set_normal(VH(2), {0, 0, 1});
    r.projectToRefSurface(&Uniform);
    EXPECT_NEAR((w.point(VH(0)) - OpenMesh::Vec3d(1, 1, 0)).norm(), 0.0, 1e-6);
    OpenMesh::Vec3d expected = (OpenMesh::Vec3d(0, 0, 1) + OpenMesh::Vec3d(1, 0, 1) + OpenMesh::Vec3d(0, 1, 1)) / 3;
    expected.normalize();
    EXPECT_NEAR((w.normal(VH(0)) - expected).norm(), 0.0, 1e-6);
    EXPECT_EQ(w.point(VH(1)), OpenMesh::Vec3d(1, 1, 2));
    EXPECT_EQ(w.normal(VH(1)), OpenMesh::Vec3d(0, 0, 1));
    EXPECT_NEAR((w.point(VH(2)) - OpenMesh::Vec3d(0.5, 0.5, 0)).norm(), 0.0, 1e-6);
}

TEST(Projection, NearerHitWinsAndCornersSnapToTheirFan)
{
    // Two parallel sheets at z = 0 and z = 1; a vertex at z = 0.5 sees both
    // at the same distance and takes the forward one.
    FlatMesh m = makeGrid(1, 2.0);
    uint32_t base = uint32_t(m.records.size());
    for (int i = 0; i < 4; ++i) {
        MeshVertex v = m.records[i];
        v.position[2] = 1.0f;
        m.records.push_back(v);
    }
    for (size_t i = 0; i < 6; ++i) m.indices.push_back(m.indices[i] + base);
    HalfedgeMesh ref = toHalfedge(m);
    Remesher r(&ref);
    r.initWorkingMesh();
    r.targetLength = 1.0;
    r.working.set_point(VH(0), {0.5, 0.3, 0.5});
    r.working.set_normal(VH(0), {0, 0, -1});
    r.working.set_point(VH(1), {0.5, 0.3, 0.4});
    r.working.set_normal(VH(1), {0, 0, -1});
    r.projectVertexToRefSurface(VH(0), RemeshTypeUniform);
    r.projectVertexToRefSurface(VH(1), RemeshTypeUniform);
    EXPECT_NEAR(r.working.point(VH(0))[2], 0.0, 1e-6);
    EXPECT_NEAR(r.working.point(VH(1))[2], 0.0, 1e-6);

    // A pyramid tip seen from a direction that hits one face at its apex:
    // the nearest point over the apex's other faces wins.
    FlatMesh p;
    uint32_t apex = p.add(0, 0, 1, 0, 0, 1);
    uint32_t c0 = p.add(1, 0, 0), c1 = p.add(0, 1, 0), c2 = p.add(-1, 0, 0), c3 = p.add(0, -1, 0);
    p.tri(apex, c0, c1);
    p.tri(apex, c1, c2);
    p.tri(apex, c2, c3);
    p.tri(apex, c3, c0);
    HalfedgeMesh pyr = toHalfedge(p);
    Remesher rp(&pyr);
    rp.initWorkingMesh();
    rp.targetLength = 10.0;
    // Straight down through the apex from above and to the -x side.
    rp.working.set_point(VH(1), {-0.8, 0, 1.5});
    rp.working.set_normal(VH(1), {0.8, 0, -0.5});
    rp.projectVertexToRefSurface(VH(1), RemeshTypeUniform);
    const OpenMesh::Vec3d q = rp.working.point(VH(1));
    // The closest point of the pyramid lies on the ridge towards -x, below the apex.
    EXPECT_NEAR(q[1], 0.0, 1e-6);
    EXPECT_NEAR(q[0], -0.15, 1e-3);
    EXPECT_NEAR(q[2], 0.85, 1e-3);
}

TEST(Projection, BoundaryEdgesAndCornersKeepTheirOwnFaces)
{
    // Two triangles side by side; the ray hits the lower one, whose nearest
    // point lies on the boundary edge y = 0.
    HalfedgeMesh ref = toHalfedge(makeGrid(1, 2.0));
    Remesher r(&ref);
    r.initWorkingMesh();
    r.targetLength = 5.0;
    r.working.set_point(VH(0), {1.5, -0.3, 0.5});
    r.working.set_normal(VH(0), {0, 0.5, -0.5});
    r.projectVertexToRefSurface(VH(0), RemeshTypeUniform);
    EXPECT_NEAR((r.working.point(VH(0)) - OpenMesh::Vec3d(1.5, 0, 0)).norm(), 0.0, 1e-6);
    // Beyond the corner (2, 0): the corner itself, no face of another corner.
    r.working.set_point(VH(1), {2.3, -0.3, 0.5});
    r.working.set_normal(VH(1), {-0.5, 0.5, -0.5});
    r.projectVertexToRefSurface(VH(1), RemeshTypeUniform);
    EXPECT_NEAR((r.working.point(VH(1)) - OpenMesh::Vec3d(2, 0, 0)).norm(), 0.0, 1e-6);
}

TEST(Projection, AdaptiveBlendsSizingUniformLeavesIt)
{
    HalfedgeMesh ref = toHalfedge(makeIcosphere(2));
    Remesher r(&ref);
    r.setup(&Adaptive, 400, 5.0);
    for (auto v : r.working.vertices()) {
        r.working.set_point(v, r.working.point(v) * 1.01);
        r.working.property(r.adaptiveSizing, v) = 7.0;
    }
    r.projectToRefSurface(&Uniform);
    for (auto v : r.working.vertices()) EXPECT_EQ(r.working.property(r.adaptiveSizing, v), 7.0);
    r.projectToRefSurface(&Adaptive);
    double lo = 1e300, hi = 0;
    for (double s : r.refSizing) lo = std::min(lo, s), hi = std::max(hi, s);
    for (auto v : r.working.vertices()) {
        const double s = r.working.property(r.adaptiveSizing, v);
        EXPECT_GE(s, lo - 1e-12);
        EXPECT_LE(s, hi + 1e-12);
        EXPECT_NEAR(r.working.point(v).norm(), 1.0, 0.01);
    }
}
