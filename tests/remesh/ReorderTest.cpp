#include "TestMeshes.h"

#include "remesh/MeshConversion.h"
#include "remesh/MeshReorder.h"
#include "remesh/Remesher.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace {

typedef HalfedgeMesh::VertexHandle VH;

// Every link of the kernel points back where it should.
void expectConsistent(const HalfedgeMesh& m)
{
    for (auto h : m.halfedges()) {
        ASSERT_EQ(m.prev_halfedge_handle(m.next_halfedge_handle(h)), h);
        ASSERT_EQ(m.from_vertex_handle(m.next_halfedge_handle(h)), m.to_vertex_handle(h));
        ASSERT_EQ(m.face_handle(m.next_halfedge_handle(h)), m.face_handle(h));
    }
    for (auto f : m.faces()) ASSERT_EQ(m.face_handle(m.halfedge_handle(f)), f);
    for (auto v : m.vertices()) ASSERT_EQ(m.from_vertex_handle(m.halfedge_handle(v)), v);
}

OpenMesh::Vec3d midpoint(const HalfedgeMesh& m, HalfedgeMesh::EdgeHandle e)
{
    const auto h = m.halfedge_handle(e, 0);
    return (m.point(m.from_vertex_handle(h)) + m.point(m.to_vertex_handle(h))) * 0.5;
}

} // namespace

TEST(Renumbering, KeepsTrianglesAndProperties)
{
    FlatMesh sphere = makeIcosphere(3);
    // Start from scattered numbers, as after many edits.
    std::vector<uint32_t> shuffled(sphere.records.size());
    for (size_t i = 0; i < shuffled.size(); ++i) shuffled[i] = static_cast<uint32_t>((i * 7919) % shuffled.size());
    FlatMesh scattered = sphere;
    for (size_t i = 0; i < shuffled.size(); ++i) scattered.records[shuffled[i]] = sphere.records[i];
    for (uint32_t& k : scattered.indices) k = shuffled[k];
    HalfedgeMesh m = buildHalfedgeMesh(scattered.records, scattered.indices);

    // Leave deleted elements behind, as a collapse does.
    for (int k = 0; k < 20; ++k) {
        const auto h = m.halfedge_handle(HalfedgeMesh::EdgeHandle(k * 13), 0);
        if (m.is_collapse_ok(h)) m.collapse(h);
    }
    OpenMesh::VPropHandleT<OpenMesh::Vec3d> vp;
    OpenMesh::EPropHandleT<double> ep;
    OpenMesh::FPropHandleT<int> fp;
    OpenMesh::VPropHandleT<bool> bp; // stored as bits: moved by swaps
    m.add_property(vp);
    m.add_property(ep);
    m.add_property(fp);
    m.add_property(bp);
    for (auto v : m.vertices()) m.property(vp, v) = m.point(v) * 2.0, m.property(bp, v) = m.point(v)[0] > 0.3;
    for (auto e : m.edges()) {
        m.property(ep, e) = midpoint(m, e).norm();
        m.status(e).set_feature(midpoint(m, e)[2] > 0.5);
    }
    for (auto f : m.faces()) m.property(fp, f) = static_cast<int>(m.calc_face_centroid(f)[1] * 1000);
    const auto before = trianglesByPosition(m);
    std::map<OpenMesh::Vec3d, int> faceValue;
    for (auto f : m.faces()) faceValue[m.calc_face_centroid(f)] = m.property(fp, f);

    compactInLocalityOrder(m);

    expectConsistent(m);
    EXPECT_EQ(trianglesByPosition(m), before);
    EXPECT_EQ(m.n_faces(), before.size());
    for (auto v : m.all_vertices()) {
        EXPECT_FALSE(m.status(v).deleted());
        EXPECT_EQ(m.property(vp, v), m.point(v) * 2.0);
        EXPECT_EQ(m.property(bp, v), m.point(v)[0] > 0.3);
    }
    for (auto e : m.all_edges()) {
        EXPECT_FALSE(m.status(e).deleted());
        EXPECT_DOUBLE_EQ(m.property(ep, e), midpoint(m, e).norm());
        EXPECT_EQ(m.status(e).feature(), midpoint(m, e)[2] > 0.5);
    }
    for (auto f : m.all_faces()) EXPECT_EQ(m.property(fp, f), faceValue[m.calc_face_centroid(f)]);

    // The new numbers depend on the geometry only.
    HalfedgeMesh plain = buildHalfedgeMesh(sphere.records, sphere.indices);
    HalfedgeMesh mixed = buildHalfedgeMesh(scattered.records, scattered.indices);
    compactInLocalityOrder(plain);
    compactInLocalityOrder(mixed);
    for (auto v : plain.vertices()) EXPECT_EQ(plain.point(v), mixed.point(v));
    for (auto f : plain.faces()) EXPECT_EQ(plain.calc_face_centroid(f), mixed.calc_face_centroid(f));
}

TEST(Renumbering, RemeshDoesNotDependOnThreadCount)
{
    // A bumpy sphere, so that every pass has ties and work to do.
    FlatMesh bumpy = makeIcosphere(4);
    for (size_t i = 0; i < bumpy.records.size(); ++i) {
        const float s = 1.0f + 0.03f * static_cast<float>(std::sin(static_cast<double>(i) * 12.9898));
        for (float& c : bumpy.records[i].position) c *= s;
    }
    const HalfedgeMesh ref = buildHalfedgeMesh(bumpy.records, bumpy.indices);
    auto run = [&](int threads) {
        tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        tbb::task_arena arena(threads);
        auto r = std::make_unique<Remesher>(&ref);
        arena.execute([&] {
            const RemeshType uniform = RemeshTypeUniform;
            r->setup(&uniform, 3000, 5.0);
            r->remesh(4, nullptr);
            r->smooth(1, nullptr);
        });
        return r;
    };
    const auto two = run(2), eight = run(8);
    const HalfedgeMesh &a = two->working, &b = eight->working;
    ASSERT_EQ(a.n_vertices(), b.n_vertices());
    ASSERT_EQ(a.n_faces(), b.n_faces());
    const double tolerance = 1e-6 * 2.0 * std::sqrt(3.0) * 1.03;
    for (auto v : a.vertices()) ASSERT_NEAR((a.point(v) - b.point(VH(v.idx()))).norm(), 0.0, tolerance);
    for (auto f : a.faces()) {
        auto fa = a.fv_range(f).begin();
        auto fb = b.fv_range(HalfedgeMesh::FaceHandle(f.idx())).begin();
        for (int k = 0; k < 3; ++k, ++fa, ++fb) ASSERT_EQ((*fa).idx(), (*fb).idx());
    }
}
