#include "TestMeshes.h"

#include "remesh/MeshConversion.h"
#include "remesh/Remesher.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const RemeshType Uniform = RemeshTypeUniform;
typedef HalfedgeMesh::VertexHandle VH;

void setUniformLength(Remesher& r, double length)
{
    r.initWorkingMesh();
    r.type = RemeshTypeUniform;
    r.targetLength = length;
    r.maxLengthSq = (length * 4.0 / 3.0) * (length * 4.0 / 3.0);
}

bool hasPointNear(const HalfedgeMesh& m, const OpenMesh::Vec3d& p)
{
    for (auto v : m.vertices())
        if ((m.point(v) - p).norm() < 1e-6) return true;
    return false;
}

// A triangular lattice patch of (2n+1)^2 vertices around the origin: interior valence 6.
FlatMesh makeLattice(int n)
{
    FlatMesh m;
    const int side = 2 * n + 1;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) m.add((i - n) + 0.5 * (j - n), (j - n) * std::sqrt(3.0) / 2.0, 0.0);
    auto id = [side](int i, int j) { return uint32_t(j * side + i); };
    for (int j = 0; j + 1 < side; ++j)
        for (int i = 0; i + 1 < side; ++i) {
            m.tri(id(i, j), id(i + 1, j), id(i, j + 1));
            m.tri(id(i + 1, j), id(i + 1, j + 1), id(i, j + 1));
        }
    return m;
}

VH findVertex(const HalfedgeMesh& m, const OpenMesh::Vec3d& p)
{
    for (auto v : m.vertices())
        if ((m.point(v) - p).norm() < 1e-6) return v;
    return VH();
}

} // namespace

TEST(SplitCollapse, ThresholdsAreStrict)
{
    // Sides 4, 3, 3 against target 3: the long side sits exactly at 16/9.
    FlatMesh m;
    m.tri(m.add(0, 0, 0), m.add(4, 0, 0), m.add(2, std::sqrt(5.0), 0));
    HalfedgeMesh ref = toHalfedge(m);
    Remesher r(&ref);
    setUniformLength(r, 3.0);
    r.splitLongCollapseShortEdges(1, &Uniform);
    EXPECT_EQ(r.working.n_faces(), 1u);
    setUniformLength(r, 2.999);
    r.splitLongCollapseShortEdges(1, &Uniform);
    EXPECT_EQ(r.working.n_faces(), 2u);

    // Grid sides of 4 against target 5 sit exactly at 0.64 (diagonals at 1.28).
    HalfedgeMesh sref = toHalfedge(makeGrid(4, 16.0));
    Remesher rs(&sref);
    setUniformLength(rs, 5.0);
    rs.maxLengthSq = 1e9;
    rs.splitLongCollapseShortEdges(1, &Uniform);
    EXPECT_EQ(rs.working.n_vertices(), sref.n_vertices());
    setUniformLength(rs, 5.001);
    rs.maxLengthSq = 1e9;
    rs.splitLongCollapseShortEdges(1, &Uniform);
    EXPECT_LT(rs.working.n_vertices(), sref.n_vertices());
}

TEST(SplitCollapse, UniformMeshIsLeftAlone)
{
    HalfedgeMesh ref = toHalfedge(makeLattice(3));
    Remesher r(&ref);
    setUniformLength(r, 1.0);
    r.splitLongCollapseShortEdges(1, &Uniform);
    // The pass renumbers the mesh; the triangles stay as they are.
    ASSERT_EQ(r.working.n_vertices(), ref.n_vertices());
    EXPECT_EQ(trianglesByPosition(r.working), trianglesByPosition(ref));
}

TEST(SplitCollapse, HigherValenceEndStays)
{
    FlatMesh m = makeLattice(3);
    HalfedgeMesh ref = toHalfedge(m);
    const OpenMesh::Vec3d pu(0, 0, 0), pv(1, 0, 0);
    // Flip the edge from v to the lattice point above-left of it, with u opposite:
    // u gains a neighbour, v loses one.
    VH u = findVertex(ref, pu), v = findVertex(ref, pv);
    VH y = findVertex(ref, OpenMesh::Vec3d(0.5, std::sqrt(3.0) / 2.0, 0));
    ASSERT_TRUE(u.is_valid() && v.is_valid() && y.is_valid());
    // The edge v-y lies between u and the vertex at (1.5, sqrt3/2): flipping makes it u-(1.5, ..).
    auto e = ref.edge_handle(ref.find_halfedge(v, y));
    ASSERT_TRUE(ref.is_flip_ok(e));
    ref.flip(e);
    ASSERT_EQ(ref.valence(u), 7u);
    ASSERT_EQ(ref.valence(v), 5u);
    ref.set_point(v, OpenMesh::Vec3d(0.5, 0, 0));

    Remesher r(&ref);
    setUniformLength(r, 1.2);
    r.maxLengthSq = 1e9; // only the valences decide
    r.splitLongCollapseShortEdges(1, &Uniform);
    EXPECT_TRUE(hasPointNear(r.working, pu));
    EXPECT_FALSE(hasPointNear(r.working, OpenMesh::Vec3d(0.5, 0, 0)));

    // Equal valences: the end the edge's first halfedge points to stays.
    HalfedgeMesh even = toHalfedge(m);
    VH eu = findVertex(even, pu), ev = findVertex(even, pv);
    even.set_point(ev, OpenMesh::Vec3d(0.5, 0, 0));
    auto h = even.find_halfedge(eu, ev);
    auto h0 = even.halfedge_handle(even.edge_handle(h), 0);
    const OpenMesh::Vec3d stays = even.point(even.to_vertex_handle(h0));
    const OpenMesh::Vec3d goes = even.point(even.from_vertex_handle(h0));
    Remesher re(&even);
    setUniformLength(re, 1.2);
    re.maxLengthSq = 1e9;
    re.splitLongCollapseShortEdges(1, &Uniform);
    EXPECT_EQ(re.working.n_vertices(), even.n_vertices() - 1);
    EXPECT_TRUE(hasPointNear(re.working, stays));
    EXPECT_FALSE(hasPointNear(re.working, goes));
}

TEST(SplitCollapse, SplitFeatureEdgeMarksBothHalvesOnly)
{
    HalfedgeMesh ref = toHalfedge(makeCube());
    Remesher r(&ref);
    r.setup(&Uniform, 100, 5.0);
    HalfedgeMesh::EdgeHandle feature;
    for (auto e : r.working.edges())
        if (r.working.status(e).feature()) feature = e;
    auto h0 = r.working.halfedge_handle(feature, 0);
    VH a = r.working.from_vertex_handle(h0), b = r.working.to_vertex_handle(h0);
    r.splitEdgeAtMidpoint(&Uniform, feature, a, b);
    VH mid(int(r.working.n_vertices()) - 1);
    int marked = 0, plain = 0;
    for (auto g : r.working.voh_range(mid)) {
        const bool f = r.working.status(r.working.edge_handle(g)).feature();
        VH w = r.working.to_vertex_handle(g);
        if (w == a || w == b) {
            EXPECT_TRUE(f);
            ++marked;
        } else {
            EXPECT_FALSE(f);
            ++plain;
        }
    }
    EXPECT_EQ(marked, 2);
    EXPECT_EQ(plain, 2);
    EXPECT_NEAR(r.working.normal(mid).norm(), 1.0, 1e-12);
}

TEST(SplitCollapse, CollapseTestsForBoundaryAndTurnedTriangles)
{
    HalfedgeMesh ref = toHalfedge(makeGrid(3, 3.0));
    Remesher r(&ref);
    setUniformLength(r, 1.0);
    const HalfedgeMesh& w = r.working;
    // An L corner cannot slide along either side; a straight boundary vertex can.
    VH corner = findVertex(w, {0, 0, 0}), right = findVertex(w, {1, 0, 0}), up = findVertex(w, {0, 1, 0});
    VH next = findVertex(w, {2, 0, 0});
    EXPECT_FALSE(r.isCollapseOk(w.find_halfedge(corner, right), &Uniform, false));
    EXPECT_FALSE(r.isCollapseOk(w.find_halfedge(corner, up), &Uniform, false));
    EXPECT_TRUE(r.isCollapseOk(w.find_halfedge(right, next), &Uniform, false));
    EXPECT_TRUE(r.isCollapseOk(w.find_halfedge(right, corner), &Uniform, false));
    // Leaving the boundary line is refused.
    EXPECT_FALSE(r.isCollapseOk(w.find_halfedge(right, findVertex(w, {1, 1, 0})), &Uniform, false));

    // A fan around u: collapsing u into v turns (v, r1, r2) over when v lies
    // beyond the line r1-r2, and makes it degenerate when v lies on it.
    auto fan = [](double vy) {
        FlatMesh m;
        uint32_t u = m.add(0, 0, 0), v = m.add(1, vy, 0), r1 = m.add(0, 1, 0), r2 = m.add(-1, 0, 0),
                 r3 = m.add(0, -1, 0);
        m.tri(u, v, r1);
        m.tri(u, r1, r2);
        m.tri(u, r2, r3);
        m.tri(u, r3, v);
        return toHalfedge(m);
    };
    HalfedgeMesh onLine = fan(2.0), beyond = fan(3.0);
    Remesher a(&onLine), b(&beyond);
    setUniformLength(a, 1.0);
    setUniformLength(b, 1.0);
    EXPECT_TRUE(a.isCollapseOk(a.working.find_halfedge(VH(0), VH(1)), &Uniform, false));
    EXPECT_FALSE(b.isCollapseOk(b.working.find_halfedge(VH(0), VH(1)), &Uniform, false));
    // The length test: a neighbour farther than 4/3 L from v refuses.
    EXPECT_FALSE(a.isCollapseOk(a.working.find_halfedge(VH(0), VH(1)), &Uniform, true));
    setUniformLength(a, 10.0);
    EXPECT_TRUE(a.isCollapseOk(a.working.find_halfedge(VH(0), VH(1)), &Uniform, true));
    const RemeshType none = RemeshTypeNone;
    EXPECT_THROW(a.isCollapseOk(a.working.find_halfedge(VH(0), VH(1)), &none, true), std::runtime_error);
}

TEST(ValenceFlips, BoundaryTargetsFromCornerAngles)
{
    HalfedgeMesh ref = toHalfedge(makeGrid(4, 4.0));
    Remesher r(&ref);
    r.initWorkingMesh();
    r.equalizeValences();
    const HalfedgeMesh& w = r.working;
    // (0,0) has 3 neighbours at a 90 degree corner: target 3.
    EXPECT_EQ(w.property(r.valenceDeviation, findVertex(w, {0, 0, 0})), 0);
    // (4,0) has 2 neighbours at a 90 degree corner.
    EXPECT_EQ(w.property(r.valenceDeviation, findVertex(w, {4, 0, 0})), -1);
    // Straight boundary: target 4.
    EXPECT_EQ(w.property(r.valenceDeviation, findVertex(w, {2, 0, 0})), 0);
    EXPECT_EQ(w.property(r.valenceDeviation, findVertex(w, {2, 2, 0})), 0);
    for (auto v : w.vertices()) EXPECT_EQ(w.point(v), ref.point(v));
}

namespace {

// A quad a, c, b, d split along a-b, with the valence deviations given.
struct Quad {
    HalfedgeMesh ref;
    Remesher r;
    Quad(OpenMesh::Vec3d a, OpenMesh::Vec3d b, OpenMesh::Vec3d c, OpenMesh::Vec3d d, int da, int db, int dc,
         int dd)
        : ref(build(a, b, c, d)), r(&ref)
    {
        r.initWorkingMesh();
        const int dev[4] = {da, db, dc, dd};
        for (int i = 0; i < 4; ++i) r.working.property(r.valenceDeviation, VH(i)) = dev[i];
    }
    static HalfedgeMesh build(OpenMesh::Vec3d a, OpenMesh::Vec3d b, OpenMesh::Vec3d c, OpenMesh::Vec3d d)
    {
        FlatMesh m;
        uint32_t ia = m.add(a[0], a[1], a[2]), ib = m.add(b[0], b[1], b[2]);
        uint32_t ic = m.add(c[0], c[1], c[2]), id = m.add(d[0], d[1], d[2]);
        m.tri(ia, ib, ic);
        m.tri(ib, ia, id);
        return toHalfedge(m);
    }
    bool beneficial() const { return r.isFlipBeneficial(VH(0), VH(1), VH(2), VH(3)); }
};

} // namespace

TEST(ValenceFlips, FlipRules)
{
    const double pi = std::acos(-1.0);
    // Two valence-7 ends, valence-5 opposites, coplanar: flip.
    Quad good({0, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0, 0}, 1, 1, -1, -1);
    EXPECT_TRUE(good.beneficial());
    // More unbalanced afterwards: no flip.
    Quad worse({0, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0, 0}, -1, 0, 1, 0);
    EXPECT_FALSE(worse.beneficial());
    // A 12 degree crease keeps the edge.
    const double t = 12.0 * pi / 180.0;
    const OpenMesh::Vec3d mid(0.5, 0.5, 0), out(-0.5, 0.5, 0);
    Quad crease({0, 0, 0}, {1, 1, 0}, mid + std::cos(t) * out + OpenMesh::Vec3d(0, 0, std::sin(t) * out.norm()),
                {1, 0, 0}, 1, 1, -1, -1);
    EXPECT_FALSE(crease.beneficial());

    // New corner at a: 136 degrees refused, 135 allowed.
    auto corner = [&](double deg) {
        const double a = deg * pi / 180.0;
        return Quad({0, 0, 0}, {0.1, 1.0, 0}, {1, 0, 0}, {std::cos(a), std::sin(a), 0}, 1, 1, -1, -1);
    };
    EXPECT_FALSE(corner(136.0).beneficial());
    Quad exact({0, 0, 0}, {0.1, 1.0, 0}, {1, 0, 0}, {-1, 1, 0}, 1, 1, -1, -1);
    EXPECT_TRUE(exact.beneficial());

    // Ties: refused when both new corners at a and b are right or obtuse...
    Quad square({0, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0, 0}, 0, 0, 0, 0);
    square.r.working.property(square.r.valenceDeviation, VH(0)) = 1;
    square.r.working.property(square.r.valenceDeviation, VH(2)) = 0;
    square.r.working.property(square.r.valenceDeviation, VH(1)) = 0;
    square.r.working.property(square.r.valenceDeviation, VH(3)) = -1;
    // before 1+0+0+1 = 2, after 0+1+1+0 = 2: a tie with right angles at a and b.
    EXPECT_FALSE(square.beneficial());
    // ...and otherwise decided by the shape of the triangles (equal sums flip).
    Quad better({0, 0, 0}, {3, 0, 0}, {1.5, 0.5, 0}, {1.5, -0.5, 0}, 1, 0, 0, -1);
    EXPECT_TRUE(better.beneficial());
    Quad worse2({0, 0, 0}, {1, 0, 0}, {0.3, 0.6, 0}, {0.3, -0.6, 0}, 1, 0, 0, -1);
    EXPECT_FALSE(worse2.beneficial());
}

TEST(ValenceFlips, FeatureAndBoundaryEdgesNeverFlip)
{
    HalfedgeMesh ref = toHalfedge(makeCube());
    Remesher r(&ref);
    r.setup(&Uniform, 100, 5.0);
    // Force every vertex to want fewer neighbours on feature edges.
    r.equalizeValences();
    size_t features = 0;
    for (auto e : r.working.edges()) features += r.working.status(e).feature();
    EXPECT_EQ(features, 12u);
    for (auto e : r.working.edges()) {
        if (!r.working.status(e).feature()) continue;
        auto d = r.working.calc_edge_vector(e);
        EXPECT_EQ((d[0] != 0) + (d[1] != 0) + (d[2] != 0), 1);
    }

    FlatMesh tri;
    tri.tri(tri.add(0, 0, 0), tri.add(1, 0, 0), tri.add(0, 1, 0));
    HalfedgeMesh single = toHalfedge(tri);
    Remesher rs(&single);
    rs.initWorkingMesh();
    rs.equalizeValences();
    EXPECT_EQ(rs.working.n_faces(), 1u);
}
