#include "RemeshQuality.h"
#include "TestMeshes.h"

#include "TaskStatus.h"
#include "remesh/MeshConversion.h"
#include "remesh/Remesher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

const RemeshType Uniform = RemeshTypeUniform;
const RemeshType Adaptive = RemeshTypeAdaptive;

// The reference cache as the document builds it.
std::unique_ptr<HalfedgeMesh> reference(const FlatMesh& m)
{
    auto ref = std::make_unique<HalfedgeMesh>(buildHalfedgeMesh(m.records, m.indices));
    repairDegenerateTriangles(*ref);
    removeIsolatedVertices(*ref);
    return ref;
}

} // namespace

TEST(RemeshDrivers, UniformSphereMeetsQualityBounds)
{
    auto ref = reference(makeIcosphere(3));
    Remesher r(ref.get());
    r.setup(&Uniform, 2000, 5.0);
    TaskStatus status;
    status.progress = 30;
    status.stageEnd = 90;
    r.remesh(10, &status);
    EXPECT_EQ(status.progress.load(), 90u);
    const RemeshQuality q = measureQuality(r.working, r.targetLength);
    EXPECT_TRUE(q.finite);
    EXPECT_NEAR(double(r.working.n_faces()), 2000.0, 0.25 * 2000);
    EXPECT_GT(q.minAngleDeg, 25.0);
    EXPECT_LT(q.shareBelow30, 0.01);
    EXPECT_GT(q.shareValence6, 0.7);
    EXPECT_GT(q.shareLengthOk, 0.8);
    EXPECT_EQ(q.boundaryEdges, 0u);
    for (auto v : r.working.vertices()) EXPECT_NEAR(r.working.point(v).norm(), 1.0, 0.01);
}

TEST(RemeshDrivers, UniformKeepsCubeCornersAndOpenBoundaries)
{
    auto cube = reference(makeCube());
    Remesher r(cube.get());
    r.setup(&Uniform, 1500, 5.0);
    r.remesh(10, nullptr);
    for (const auto& corner : {OpenMesh::Vec3d(0, 0, 0), OpenMesh::Vec3d(1, 1, 1), OpenMesh::Vec3d(1, 0, 1)}) {
        bool found = false;
        for (auto v : r.working.vertices()) found |= (r.working.point(v) - corner).norm() < 1e-9;
        EXPECT_TRUE(found) << corner;
    }
    for (auto v : r.working.vertices()) {
        const auto p = r.working.point(v);
        const double out = std::max({std::abs(p[0] - 0.5), std::abs(p[1] - 0.5), std::abs(p[2] - 0.5)});
        EXPECT_NEAR(out, 0.5, 1e-9);
    }

    auto grid = reference(makeGrid(10, 2.0));
    Remesher g(grid.get());
    g.setup(&Uniform, 800, 5.0);
    g.remesh(10, nullptr);
    const RemeshQuality q = measureQuality(g.working, g.targetLength);
    EXPECT_GT(q.boundaryEdges, 0u);
    EXPECT_NEAR(double(g.working.n_faces()), 800.0, 0.3 * 800);
    for (auto v : g.working.vertices()) {
        const auto p = g.working.point(v);
        EXPECT_GE(p[0], -1e-9);
        EXPECT_LE(p[0], 2 + 1e-9);
        EXPECT_NEAR(p[2], 0.0, 1e-9);
    }
}

TEST(RemeshDrivers, AdaptiveRefinesWhereTheSurfaceBends)
{
    auto ref = reference(makeCappedCylinder(48, 24, 1.0, 3.0));
    Remesher r(ref.get());
    r.setup(&Adaptive, 3000, 5.0);
    TaskStatus status;
    status.progress = 30;
    status.stageEnd = 90;
    r.remeshAdaptive(10, &status);
    EXPECT_EQ(status.progress.load(), 90u);
    const RemeshQuality q = measureQuality(r.working, 1.0);
    EXPECT_TRUE(q.finite);
    EXPECT_NEAR(double(r.working.n_faces()), 3000.0, 0.5 * 3000);
    // Mean edge length on the flat caps' middle vs. on the side wall.
    double capLen = 0, sideLen = 0;
    int capN = 0, sideN = 0;
    for (auto e : r.working.edges()) {
        auto h = r.working.halfedge_handle(e, 0);
        const auto mid = (r.working.point(r.working.from_vertex_handle(h)) + r.working.point(r.working.to_vertex_handle(h))) / 2;
        const double radius = std::hypot(mid[0], mid[1]);
        if (radius < 0.5) {
            capLen += r.working.calc_edge_length(e);
            ++capN;
        } else if (mid[2] > 0.5 && mid[2] < 2.5) {
            sideLen += r.working.calc_edge_length(e);
            ++sideN;
        }
    }
    ASSERT_GT(capN, 0);
    ASSERT_GT(sideN, 0);
    EXPECT_GT(capLen / capN, 1.5 * sideLen / sideN);
}

TEST(RemeshDrivers, NoIterationsStillCleansAndProjects)
{
    auto ref = reference(makeIcosphere(2));
    Remesher r(ref.get());
    r.setup(&Uniform, 100, 5.0);
    r.remesh(0, nullptr);
    EXPECT_EQ(r.working.n_faces(), ref->n_faces());
    r.setup(&Adaptive, 100, 5.0);
    r.remeshAdaptive(0, nullptr);
    EXPECT_EQ(r.working.n_faces(), ref->n_faces());
    // Going on from the previous result changes it further.
    r.remeshAdaptive(2, nullptr);
    EXPECT_NE(r.working.n_faces(), ref->n_faces());
}

TEST(RemeshDrivers, OddInputsFinishOrFailCleanly)
{
    std::vector<FlatMesh> inputs;
    {
        FlatMesh single;
        single.tri(single.add(0, 0, 0), single.add(1, 0, 0), single.add(0, 1, 0));
        inputs.push_back(single);
    }
    {
        // Three sheets on one edge, a bow tie and a repeated triangle.
        FlatMesh odd;
        uint32_t a = odd.add(0, 0, 0), b = odd.add(1, 0, 0);
        odd.tri(a, b, odd.add(0.5, 1, 0));
        odd.tri(b, a, odd.add(0.5, -1, 0));
        odd.tri(a, b, odd.add(0.5, 0, 1));
        uint32_t c = odd.add(2, 2, 0);
        odd.tri(b, c, odd.add(2, 1, 0));
        odd.tri(b, odd.add(1, 2, 0), c);
        odd.tri(a, b, odd.add(0.5, 1, 0));
        inputs.push_back(odd);
    }
    {
        // A point cloud read three by three.
        FlatMesh cloud;
        for (int i = 0; i < 40; ++i) cloud.add(std::sin(i * 1.3), std::cos(i * 0.7), std::sin(i * 0.31));
        inputs.push_back(cloud);
    }
    {
        // Only degenerate triangles: collinear and coincident corners.
        FlatMesh flat;
        flat.tri(flat.add(0, 0, 0), flat.add(1, 0, 0), flat.add(2, 0, 0));
        flat.tri(flat.add(0, 0, 0), flat.add(0, 0, 0), flat.add(0, 0, 0));
        inputs.push_back(flat);
    }
    {
        // Opposite normals on neighbouring corners and unnormalised ones.
        FlatMesh bad = makeIcosphere(1);
        for (size_t i = 0; i < bad.records.size(); ++i) {
            for (float& n : bad.records[i].normal) n *= (i % 2) ? -3.0f : 0.0f;
        }
        inputs.push_back(bad);
    }
    for (size_t k = 0; k < inputs.size(); ++k) {
        for (RemeshType type : {Uniform, Adaptive}) {
            auto ref = reference(inputs[k]);
            Remesher r(ref.get());
            try {
                r.setup(&type, 200, 5.0);
                if (type == Uniform)
                    r.remesh(10, nullptr);
                else
                    r.remeshAdaptive(10, nullptr);
            } catch (const std::runtime_error&) {
                continue;
            }
            EXPECT_LT(r.working.n_faces(), 5000u) << k;
            for (auto v : r.working.vertices()) EXPECT_TRUE(std::isfinite(r.working.point(v).sqrnorm())) << k;
            r.smooth(2, nullptr);
            for (auto v : r.working.vertices()) EXPECT_TRUE(std::isfinite(r.working.point(v).sqrnorm())) << k;
        }
    }
}
