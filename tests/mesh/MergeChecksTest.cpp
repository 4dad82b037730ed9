// Vertex merge and mesh checks on small meshes built here.

#include "MeshChecks.h"
#include "MeshKeys.h"
#include "MeshTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

// Two triangles sharing an edge, stored with a record per corner.
void sixRecordQuad(std::vector<MeshVertex>& v, std::vector<uint32_t>& i)
{
    v = records({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    i = {0, 1, 2, 3, 4, 5};
}

struct CheckResult {
    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices;
    std::vector<Edge> boundary, complex;
    std::vector<MeshVertex> boundarySegments, complexSegments;
};

CheckResult runChecks(std::vector<MeshVertex> v, std::vector<uint32_t> i)
{
    MeshChecker checker(std::move(v), std::move(i));
    checker.removeDegenerateFaces();
    checker.buildEdgeMap();
    checker.checkManifoldness();
    CheckResult r;
    r.boundary = checker.boundaryEdgeKeys;
    r.complex = checker.complexEdgeKeys;
    r.boundarySegments = checker.edgeSegments(checker.boundaryEdgeKeys);
    r.complexSegments = checker.edgeSegments(checker.complexEdgeKeys);
    r.vertices = std::move(checker.vertices);
    r.indices = std::move(checker.indices);
    return r;
}

size_t complexEdgesOf(const std::vector<MeshVertex>& v, const std::vector<uint32_t>& i)
{
    MeshChecker again{std::vector<MeshVertex>(v), std::vector<uint32_t>(i)};
    again.buildEdgeMap();
    return again.complexEdgeKeys.size();
}

} // namespace

TEST(VertexMerge, SixRecordsOfTwoTrianglesBecomeFour)
{
    TriMesh doc;
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    sixRecordQuad(v, i);
    const auto before = positionTriangles(v, i);
    doc.makeVetexUniqueParallel(v, i);
    EXPECT_EQ(v.size(), 4u);
    EXPECT_EQ(std::set<uint32_t>(i.begin(), i.end()).size(), 4u);
    EXPECT_EQ(positionTriangles(v, i), before);
}

TEST(VertexMerge, KeysArePositionsOnlyAndNumbersFollowFirstOccurrence)
{
    TriMesh doc;
    auto v = records({{1, 2, 3}, {4, 5, 6}, {1, 2, 3}, {7, 8, 9}});
    v[2].normal[0] = 1.0f;
    v[2].color[0] = 0.0f;
    std::vector<uint32_t> i = {2, 1, 3, 0, 1, 3};
    doc.makeVetexUniqueParallel(v, i);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].position[2], 3.0f);
    EXPECT_EQ(v[1].position[2], 6.0f);
    EXPECT_EQ(v[2].position[2], 9.0f);
    EXPECT_EQ(i, (std::vector<uint32_t>{0, 1, 2, 0, 1, 2}));
}

TEST(VertexMerge, NegativeZeroMeetsPositiveZero)
{
    TriMesh doc;
    auto v = records({{0.0f, 1, 1}, {-0.0f, 1, 1}, {2, 2, 2}});
    std::vector<uint32_t> i = {0, 1, 2};
    EXPECT_EQ(VertexHasher()(v[0]), VertexHasher()(v[1]));
    doc.makeVetexUniqueParallel(v, i);
    EXPECT_EQ(v.size(), 2u);
}

TEST(VertexMerge, NoDuplicatesAndEmptyIndexList)
{
    TriMesh doc;
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    tetrahedron(v, i);
    const auto before = positionTriangles(v, i);
    doc.makeVetexUniqueParallel(v, i);
    EXPECT_EQ(v.size(), 4u);
    EXPECT_EQ(positionTriangles(v, i), before);

    auto points = records({{1, 1, 1}, {1, 1, 1}, {2, 2, 2}});
    std::vector<uint32_t> none;
    doc.makeVetexUniqueParallel(points, none);
    EXPECT_EQ(points.size(), 2u);
    EXPECT_TRUE(none.empty());
}

TEST(VertexMerge, ManyRecordsInParallelGiveTheSameMeshEveryRun)
{
    // A grid stored as separate triangles: every inner position repeats.
    const int n = 300;
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const float fx = static_cast<float>(x), fy = static_cast<float>(y);
            for (auto p : {std::array<float, 3>{fx, fy, 0}, {fx + 1, fy, 0}, {fx + 1, fy + 1, 0},
                           {fx, fy, 0}, {fx + 1, fy + 1, 0}, {fx, fy + 1, 0}}) {
                i.push_back(static_cast<uint32_t>(v.size()));
                v.push_back(record(p[0], p[1], p[2]));
            }
        }
    }
    TriMesh doc;
    auto v1 = v, v2 = v;
    auto i1 = i, i2 = i;
    doc.makeVetexUniqueParallel(v1, i1);
    doc.makeVetexUniqueParallel(v2, i2);
    EXPECT_EQ(v1.size(), static_cast<size_t>((n + 1) * (n + 1)));
    EXPECT_EQ(i1, i2);
    for (size_t k = 0; k < v1.size(); ++k) ASSERT_EQ(v1[k].position[0], v2[k].position[0]);
    EXPECT_EQ(positionTriangles(v1, i1), positionTriangles(v, i));
}

TEST(EdgeKey, LargerIndexFirstAndDegenerateThrows)
{
    const Edge e(3, 7);
    EXPECT_EQ(e.larger, 7u);
    EXPECT_EQ(e.smaller, 3u);
    EXPECT_EQ(EdgeHasher()(Edge(7, 3)), EdgeHasher()(e));
    EXPECT_THROW(Edge(5, 5), std::runtime_error);
}

TEST(MeshChecks, ClosedTetrahedronIsWaterTight)
{
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    tetrahedron(v, i);
    const auto r = runChecks(v, i);
    EXPECT_TRUE(r.boundary.empty());
    EXPECT_TRUE(r.complex.empty());
    EXPECT_EQ(r.vertices.size(), 4u);
    EXPECT_EQ(r.indices, i);
}

TEST(MeshChecks, SingleTriangleHasThreeBoundaryEdges)
{
    const auto r = runChecks(records({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), {0, 1, 2});
    EXPECT_EQ(r.boundary.size(), 3u);
    ASSERT_EQ(r.boundarySegments.size(), 6u);
    EXPECT_TRUE(r.complex.empty());
    // Each segment starts at the larger index's record.
    for (size_t k = 0; k < r.boundary.size(); ++k) {
        EXPECT_GT(r.boundary[k].larger, r.boundary[k].smaller);
        EXPECT_EQ(r.boundarySegments[2 * k].position[0], r.vertices[r.boundary[k].larger].position[0]);
        EXPECT_EQ(r.boundarySegments[2 * k].position[1], r.vertices[r.boundary[k].larger].position[1]);
    }
}

TEST(MeshChecks, ThreeTrianglesOnOneEdgeSplitOneFanOff)
{
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    fanOnEdge(3, v, i);
    const auto r = runChecks(v, i);
    ASSERT_EQ(r.complex.size(), 1u);
    EXPECT_EQ(r.complex[0], Edge(0, 1));
    EXPECT_EQ(r.complexSegments.size(), 2u);
    // One fan got copies of both ends; the other two kept them.
    EXPECT_EQ(r.vertices.size(), v.size() + 2);
    int keptOriginal = 0, usesCopies = 0;
    for (size_t t = 0; t < 3; ++t) {
        const std::set<uint32_t> tri(r.indices.begin() + 3 * t, r.indices.begin() + 3 * t + 3);
        if (tri.count(0) && tri.count(1)) ++keptOriginal;
        if (tri.count(5) && tri.count(6)) ++usesCopies;
    }
    EXPECT_EQ(keptOriginal, 2);
    EXPECT_EQ(usesCopies, 1);
    EXPECT_EQ(positionTriangles(r.vertices, r.indices), positionTriangles(v, i));
    EXPECT_EQ(complexEdgesOf(r.vertices, r.indices), 0u);
}

TEST(MeshChecks, FourTrianglesOnOneEdgeSplitTwice)
{
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    fanOnEdge(4, v, i);
    const auto r = runChecks(v, i);
    EXPECT_EQ(r.complex.size(), 1u);
    EXPECT_EQ(r.vertices.size(), v.size() + 4);
    EXPECT_EQ(positionTriangles(r.vertices, r.indices), positionTriangles(v, i));
    EXPECT_EQ(complexEdgesOf(r.vertices, r.indices), 0u);
}

TEST(MeshChecks, SplitFollowsTheFanAcrossManifoldEdges)
{
    // Two closed-up strips glued along one edge (0, 1) plus a third flap:
    // the split-off fan carries its manifold neighbour with it.
    auto v = records({{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}, {0.5f, -1, 0}, {0.5f, 0, 1}, {1.5f, 1, 0}});
    std::vector<uint32_t> i = {0, 1, 2, 1, 0, 3, 0, 1, 4, 1, 5, 2};
    const auto r = runChecks(v, i);
    ASSERT_EQ(r.complex.size(), 1u);
    EXPECT_EQ(positionTriangles(r.vertices, r.indices), positionTriangles(v, i));
    EXPECT_EQ(complexEdgesOf(r.vertices, r.indices), 0u);
}

TEST(MeshChecks, DegenerateTrianglesAreRemovedAndLogged)
{
    testlog::clear();
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    tetrahedron(v, i);
    i.insert(i.end(), {1, 1, 2});
    const auto r = runChecks(v, i);
    EXPECT_EQ(r.indices.size(), 12u);
    EXPECT_TRUE(testlog::contains("Remove 1 degenerate face(s)"));
    EXPECT_TRUE(r.boundary.empty());
}

TEST(MeshChecks, LongChainOfComplexEdgesDoesNotExhaustTheStack)
{
    // A long strip doubled on top of itself, plus a flap on every edge of the
    // middle row: thousands of complex edges in one connected walk.
    const uint32_t n = 20000;
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    for (uint32_t k = 0; k <= n; ++k) {
        v.push_back(record(static_cast<float>(k), 0, 0));
        v.push_back(record(static_cast<float>(k), 1, 0));
    }
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t a = 2 * k, b = 2 * k + 1, c = 2 * k + 2, d = 2 * k + 3;
        for (int copy = 0; copy < 2; ++copy) i.insert(i.end(), {a, c, d, a, d, b});
    }
    const auto r = runChecks(v, i);
    EXPECT_GT(r.complex.size(), n);
    EXPECT_EQ(positionTriangles(r.vertices, r.indices), positionTriangles(v, i));
}
