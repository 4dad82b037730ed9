#include "TestMeshes.h"

#include "remesh/Histogram.h"
#include "remesh/MeshConversion.h"
#include "remesh/Remesher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const RemeshType Uniform = RemeshTypeUniform;
const RemeshType Adaptive = RemeshTypeAdaptive;

size_t countFeatureEdges(const HalfedgeMesh& m)
{
    size_t n = 0;
    for (auto e : m.edges()) n += m.status(e).feature();
    return n;
}

// Two triangles sharing the edge (0,0,0)-(1,0,0), folded by the given angle.
HalfedgeMesh hinge(double degrees)
{
    const double a = degrees * std::acos(-1.0) / 180.0;
    FlatMesh m;
    uint32_t p = m.add(0, 0, 0), q = m.add(1, 0, 0), r = m.add(0.5, 1, 0);
    uint32_t s = m.add(0.5, -std::cos(a), std::sin(a));
    m.tri(p, q, r);
    m.tri(q, p, s);
    return toHalfedge(m);
}

} // namespace

TEST(RemesherSetup, UniformTargetLengthFromAreaAndCount)
{
    HalfedgeMesh ref = toHalfedge(makeGrid(4, 10.0));
    Remesher r(&ref);
    EXPECT_DOUBLE_EQ(r.area, 100.0);
    testing::internal::CaptureStdout();
    r.setup(&Uniform, 231, 5.0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("total mesh surf area: 100.000000 | uniform target edge length: 1.000000"),
              std::string::npos);
    EXPECT_NEAR(r.targetLength, 1.0, 1e-12);
    EXPECT_NEAR(r.maxLengthSq, 16.0 / 9.0, 1e-12);
    EXPECT_EQ(r.targetCount, 231u);
    EXPECT_EQ(r.sizeRatio, 5.0);
    EXPECT_TRUE(r.refSizing.empty());

    r.setup(&Uniform, 0, 5.0);
    EXPECT_EQ(r.targetCount, 1u);
}

TEST(RemesherSetup, RefusesTypeNoneAndSurfacesWithoutArea)
{
    HalfedgeMesh ref = toHalfedge(makeCube());
    Remesher r(&ref);
    const RemeshType none = RemeshTypeNone;
    try {
        r.setup(&none, 10, 5.0);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Remesh type must be Uniform or Adaptive.");
    }
    // The working mesh was re-copied before the refusal.
    EXPECT_EQ(r.working.n_faces(), ref.n_faces());

    FlatMesh flat;
    flat.tri(flat.add(0, 0, 0), flat.add(1, 0, 0), flat.add(2, 0, 0));
    HalfedgeMesh line = toHalfedge(flat);
    Remesher z(&line);
    EXPECT_THROW(z.setup(&Uniform, 10, 5.0), std::runtime_error);
    EXPECT_THROW(z.setup(&Adaptive, 10, 5.0), std::runtime_error);
    EXPECT_EQ(z.type, RemeshTypeNone);
}

TEST(RemesherSetup, FeatureEdgesAboveFortyDegrees)
{
    HalfedgeMesh ref = toHalfedge(makeCube());
    Remesher r(&ref);
    r.setup(&Uniform, 100, 5.0);
    EXPECT_EQ(countFeatureEdges(r.working), 12u);
    for (auto e : r.working.edges()) {
        // The face diagonals are the edges not parallel to an axis.
        auto d = r.working.calc_edge_vector(e);
        int axes = (d[0] != 0) + (d[1] != 0) + (d[2] != 0);
        EXPECT_EQ(r.working.status(e).feature(), axes == 1);
    }

    HalfedgeMesh below = hinge(39.9), above = hinge(40.1);
    Remesher rb(&below), ra(&above);
    rb.initWorkingMesh();
    ra.initWorkingMesh();
    EXPECT_EQ(countFeatureEdges(rb.working), 0u);
    EXPECT_EQ(countFeatureEdges(ra.working), 1u);
}

TEST(RemesherSetup, RepeatedSetupKeepsOnePropertyEach)
{
    HalfedgeMesh ref = toHalfedge(makeIcosphere(1));
    Remesher r(&ref);
    r.setup(&Adaptive, 100, 3.0);
    const size_t vprops = r.working.n_vprops(), eprops = r.working.n_eprops();
    r.setup(&Adaptive, 100, 3.0);
    r.setup(&Uniform, 100, 3.0);
    EXPECT_EQ(r.working.n_vprops(), vprops);
    EXPECT_EQ(r.working.n_eprops(), eprops);
    OpenMesh::VPropHandleT<double> h;
    EXPECT_TRUE(r.working.get_property_handle(h, "_vert_adaptive_sizing"));
    EXPECT_EQ(h.idx(), r.adaptiveSizing.idx());
}

TEST(RemesherSetup, MoveAssignmentHandsOverTheScene)
{
    HalfedgeMesh a = toHalfedge(makeCube());
    HalfedgeMesh b = toHalfedge(makeIcosphere(1));
    Remesher target(&a);
    target.setup(&Uniform, 50, 5.0);
    Remesher source(&b);
    auto* scene = source.refSurface.scene;
    target = std::move(source);
    EXPECT_EQ(target.reference, &b);
    EXPECT_EQ(target.refSurface.scene, scene);
    EXPECT_EQ(source.refSurface.scene, nullptr);
    EXPECT_EQ(source.refSurface.device, nullptr);
    target.setup(&Uniform, 50, 5.0);
    target.remesh(2, nullptr);
    EXPECT_GT(target.working.n_faces(), 0u);

    Remesher empty;
    target = std::move(empty);
    EXPECT_EQ(target.refSurface.scene, nullptr);
}

TEST(Histogram, QuantilesAndBins)
{
    Histogram h(0.0, 2.0, 200);
    for (int i = 0; i < 100; ++i) h.add(1.0001);
    h.add(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(h.inRange, 100u);
    EXPECT_EQ(h.quantile(0.0), 0.0);
    EXPECT_EQ(h.quantile(1.0), 2.0);
    // All in bin 100 = [1.0, 1.01): the median interpolates to its middle.
    EXPECT_EQ(h.counts[100], 100u);
    EXPECT_NEAR(h.quantile(0.5), 1.005, 1e-12);

    Histogram top(0.0, 1.0, 200);
    top.add(1.0);
    top.add(-1.0);
    top.add(2.0);
    EXPECT_EQ(top.counts[199], 1u);
    EXPECT_EQ(top.below, 1u);
    EXPECT_EQ(top.above, 1u);

    Histogram flat(3.0, 3.0, 200);
    for (int i = 0; i < 10; ++i) flat.add(3.0);
    EXPECT_EQ(flat.counts[0], 10u);
    EXPECT_EQ(flat.quantile(0.1), 3.0);
    EXPECT_EQ(flat.quantile(0.9), 3.0);
}

TEST(AdaptiveSizing, RatioIsClampedAndSphereIsNearlyUniform)
{
    HalfedgeMesh ref = toHalfedge(makeIcosphere(3));
    Remesher r(&ref);
    r.setup(&Adaptive, 500, 0.5);
    EXPECT_EQ(r.sizeRatio, 1.0);
    r.setup(&Adaptive, 500, 20.0);
    EXPECT_EQ(r.sizeRatio, 10.0);
    r.setup(&Adaptive, 500, 3.0);
    EXPECT_EQ(r.sizeRatio, 3.0);
    ASSERT_EQ(r.refSizing.size(), ref.n_vertices());

    double lo = 1e300, hi = 0, t = 0;
    for (auto v : r.working.vertices()) {
        const double s = r.working.property(r.adaptiveSizing, v);
        lo = std::min(lo, s);
        hi = std::max(hi, s);
        t += r.working.property(r.voronoiArea, v) / (s * s * 0.433);
        EXPECT_EQ(s, r.refSizing[v.idx()]);
    }
    EXPECT_NEAR(t, 500.0, 1.0);
    EXPECT_LE(hi / lo, 3.0 + 1e-9);
    // A unit sphere bends the same everywhere: rms curvature sqrt(2).
    for (auto v : r.working.vertices()) {
        EXPECT_NEAR(r.working.property(r.rmsCurvature, v), std::sqrt(2.0), 0.1);
    }
}

TEST(AdaptiveSizing, FlatCapsGetLongerEdgesThanTheRim)
{
    HalfedgeMesh ref = toHalfedge(makeCappedCylinder(48, 24, 1.0, 3.0));
    Remesher r(&ref);
    r.setup(&Adaptive, 2000, 5.0);
    double capMean = 0, rimMean = 0;
    int capN = 0, rimN = 0;
    for (auto v : r.working.vertices()) {
        const auto p = r.working.point(v);
        const double radius = std::hypot(p[0], p[1]);
        const double s = r.working.property(r.adaptiveSizing, v);
        if (radius < 0.5) {
            capMean += s;
            ++capN;
        } else if (r.working.is_boundary(v) == false && (p[2] < 1e-9 || p[2] > 3.0 - 1e-9) && radius > 0.99) {
            rimMean += s;
            ++rimN;
        }
    }
    ASSERT_GT(capN, 0);
    ASSERT_GT(rimN, 0);
    EXPECT_GT(capMean / capN, 2.0 * rimMean / rimN);
}

TEST(AdaptiveSizing, EqualCurvatureAndVerticesWithoutAreaStayFinite)
{
    // A flat grid has zero curvature everywhere: a uniform field.
    HalfedgeMesh grid = toHalfedge(makeGrid(8, 1.0));
    Remesher r(&grid);
    r.setup(&Adaptive, 100, 5.0);
    const double s0 = r.working.property(r.adaptiveSizing, HalfedgeMesh::VertexHandle(0));
    for (auto v : r.working.vertices()) {
        EXPECT_TRUE(std::isfinite(r.working.property(r.adaptiveSizing, v)));
        EXPECT_DOUBLE_EQ(r.working.property(r.adaptiveSizing, v), s0);
    }
    EXPECT_NEAR(s0, std::sqrt(1.0 / 100 / 0.433), 1e-9);

    // Isolated vertices and a zero-area face have no Voronoi area.
    FlatMesh m = makeIcosphere(2);
    m.add(5, 5, 5);
    uint32_t a = m.add(3, 0, 0), b = m.add(3, 1, 0), c = m.add(3, 2, 0);
    m.tri(a, b, c);
    HalfedgeMesh odd = toHalfedge(m);
    Remesher ro(&odd);
    ro.setup(&Adaptive, 300, 5.0);
    for (auto v : ro.working.vertices()) EXPECT_TRUE(std::isfinite(ro.working.property(ro.adaptiveSizing, v)));
    ro.remeshAdaptive(3, nullptr);
    for (auto v : ro.working.vertices()) EXPECT_TRUE(std::isfinite(ro.working.point(v).sqrnorm()));
}
