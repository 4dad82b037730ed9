#include "TestMeshes.h"

#include "remesh/MeshConversion.h"
#include "remesh/Remesher.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const RemeshType Uniform = RemeshTypeUniform;
typedef HalfedgeMesh::VertexHandle VH;

} // namespace

TEST(BadTriangles, EquilateralMeshHasNone)
{
    FlatMesh m;
    const double h = std::sqrt(3.0) / 2.0;
    uint32_t a = m.add(0, 0, 0), b = m.add(1, 0, 0), c = m.add(0.5, h, 0), d = m.add(1.5, h, 0);
    m.tri(a, b, c);
    m.tri(b, d, c);
    HalfedgeMesh ref = toHalfedge(m);
    Remesher r(&ref);
    r.initWorkingMesh();
    EXPECT_EQ(r.removeBadTriangles(&Uniform), 0u);
    EXPECT_EQ(r.working.n_faces(), 2u);
}

TEST(BadTriangles, FlatTriangleSplitsNeedleCollapses)
{
    // A flat obtuse triangle in a strip: halving its long edge gives better halves.
    FlatMesh flat;
    uint32_t a = flat.add(0, 0, 0), b = flat.add(4, 0, 0), c = flat.add(2, 0.3, 0), d = flat.add(2, -2, 0);
    flat.tri(a, b, c);
    flat.tri(b, a, d);
    HalfedgeMesh fref = toHalfedge(flat);
    Remesher rf(&fref);
    rf.initWorkingMesh();
    EXPECT_GE(rf.removeBadTriangles(&Uniform), 1u);
    EXPECT_EQ(rf.working.n_vertices(), 5u);
    bool found = false;
    for (auto v : rf.working.vertices()) found |= rf.working.point(v) == OpenMesh::Vec3d(2, 0, 0);
    EXPECT_TRUE(found);

    // A needle inside a fan: its short edge is collapsed.
    FlatMesh fan;
    uint32_t centre = fan.add(0, 0, 0);
    const double pi = std::acos(-1.0);
    std::vector<uint32_t> ring;
    for (int i = 0; i < 6; ++i) ring.push_back(fan.add(std::cos(i * pi / 3), std::sin(i * pi / 3), 0));
    for (int i = 0; i < 6; ++i) fan.tri(centre, ring[i], ring[(i + 1) % 6]);
    HalfedgeMesh nref = toHalfedge(fan);
    nref.set_point(VH(int(ring[1])), OpenMesh::Vec3d(0.98, 0.05, 0));
    Remesher rn(&nref);
    rn.initWorkingMesh();
    EXPECT_GE(rn.removeBadTriangles(&Uniform), 1u);
    EXPECT_EQ(rn.working.n_vertices(), 6u);
    for (auto f : rn.working.faces()) {
        auto h = rn.working.halfedge_handle(f);
        EXPECT_GT(rn.working.calc_edge_length(h), 0.1);
    }
}

TEST(DegenerateRepair, FlipsSliversCollapsesZeroEdges)
{
    // A square whose fourth corner sits on the diagonal's line: the triangle
    // (0,0),(2,0),(1,0) is flat with three real edges.
    FlatMesh m;
    uint32_t a = m.add(0, 0, 0), b = m.add(2, 0, 0), c = m.add(1, 0, 0), d = m.add(1, 1, 0);
    m.tri(a, c, b);
    m.tri(a, b, d);
    // Close the flat one from below so its long edge can flip.
    uint32_t e = m.add(1, -1, 0);
    m.tri(a, e, c);
    m.tri(c, e, b);
    HalfedgeMesh mesh = toHalfedge(m);
    testing::internal::CaptureStdout();
    EXPECT_EQ(repairDegenerateTriangles(mesh), 1u);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Repaired 1 triangles."), std::string::npos);
    for (auto f : mesh.faces()) EXPECT_GT(mesh.calc_face_area(f), 1e-9);

    // Two coincident corners: the zero-length edge is collapsed.
    FlatMesh z = makeGrid(2, 2.0);
    HalfedgeMesh zm = toHalfedge(z);
    // Move the right neighbour of the centre onto it.
    auto centre = VH(4);
    zm.set_point(VH(5), zm.point(centre));
    uint64_t before = zm.n_faces();
    testing::internal::CaptureStdout();
    EXPECT_GE(repairDegenerateTriangles(zm), 1u);
    testing::internal::GetCapturedStdout();
    EXPECT_LT(zm.n_faces(), before);
    for (auto f : zm.faces()) EXPECT_GT(zm.calc_face_area(f), 1e-9);

    HalfedgeMesh clean = toHalfedge(makeCube());
    testing::internal::CaptureStdout();
    EXPECT_EQ(repairDegenerateTriangles(clean), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
