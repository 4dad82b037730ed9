// Vertex normals, bounding box and centre.

#include "MeshGeometry.h"
#include "MeshTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectVec(const float* v, float x, float y, float z, float eps = 1e-5f)
{
    EXPECT_NEAR(v[0], x, eps);
    EXPECT_NEAR(v[1], y, eps);
    EXPECT_NEAR(v[2], z, eps);
}

// A flat grid of w x w quads in z = 0 with (w + 1)^2 records.
void grid(uint32_t w, std::vector<MeshVertex>& v, std::vector<uint32_t>& i)
{
    v.clear();
    i.clear();
    for (uint32_t y = 0; y <= w; ++y) {
        for (uint32_t x = 0; x <= w; ++x) {
            // A gentle bump so the normals are not all equal.
            const float fx = static_cast<float>(x) / w, fy = static_cast<float>(y) / w;
            v.push_back(record(fx, fy, 0.1f * std::sin(6 * fx) * std::cos(5 * fy)));
        }
    }
    for (uint32_t y = 0; y < w; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t a = y * (w + 1) + x, b = a + 1, c = a + w + 2, d = a + w + 1;
            i.insert(i.end(), {a, b, c, a, c, d});
        }
    }
}

} // namespace

TEST(Normals, SingleCounterClockwiseTriangleFacesPlusZ)
{
    auto v = records({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    TriMesh::ComputeVertexNormals(v, {0, 1, 2});
    for (const auto& r : v) expectVec(r.normal, 0, 0, 1);
    const auto c = computeMeshCenter(v, {0, 1, 2}, false);
    expectVec(c.data(), 1.0f / 3, 1.0f / 3, 0);
}

TEST(Normals, FlatFanGivesThePlaneNormal)
{
    auto v = records({{0, 0, 0}});
    std::vector<uint32_t> i;
    for (int k = 0; k < 7; ++k) {
        const float a = k * 0.5f;
        v.push_back(record(std::cos(a), 0, -std::sin(a)));
    }
    for (uint32_t k = 1; k < 7; ++k) i.insert(i.end(), {0, k, k + 1});
    TriMesh::ComputeVertexNormals(v, i);
    expectVec(v[0].normal, 0, 1, 0);
}

TEST(Normals, ZeroAreaTrianglesAndUnusedRecordsGiveNoNaN)
{
    // A sliver with two equal positions, a repeated index, and an unused record.
    auto v = records({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {5, 5, 5}});
    TriMesh::ComputeVertexNormals(v, {0, 1, 2, 0, 1, 3, 2, 2, 1});
    for (int k = 0; k < 4; ++k) {
        for (float c : v[k].normal) EXPECT_TRUE(std::isfinite(c));
    }
    expectVec(v[0].normal, 0, 0, 1);
    expectVec(v[4].normal, 0, 0, 0);
}

TEST(Normals, SerialAndParallelPathsAgree)
{
    // 100000 records stay serial, 100001 go parallel: the same grid padded
    // with unused records.
    std::vector<MeshVertex> serial;
    std::vector<uint32_t> i;
    grid(315, serial, i);
    ASSERT_LT(serial.size(), 100000u);
    serial.resize(100000, record(9, 9, 9));
    auto parallel = serial;
    parallel.push_back(record(9, 9, 9));
    TriMesh::ComputeVertexNormals(serial, i);
    TriMesh::ComputeVertexNormals(parallel, i);
    for (size_t k = 0; k < serial.size(); ++k) {
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(serial[k].normal[c], parallel[k].normal[c], 1e-5f) << k;
    }
    expectVec(parallel[100000].normal, 0, 0, 0);
}

TEST(BoundingBox, SerialAndParallel)
{
    auto v = records({{1, -2, 3}, {-4, 5, 0}, {2, 2, 9}});
    const auto box = computeBoundingBox(v);
    EXPECT_EQ(box, (std::array<float, 6>{-4, -2, 0, 2, 5, 9}));
    std::vector<MeshVertex> many(150000, record(0.5f, 0.5f, 0.5f));
    many[123456] = record(-1, 2, 0.5f);
    many[7] = record(3, -3, 7);
    EXPECT_EQ(computeBoundingBox(many), (std::array<float, 6>{-1, -3, 0.5f, 3, 2, 7}));
    EXPECT_EQ(computeBoundingBox({}), (std::array<float, 6>{0, 0, 0, 0, 0, 0}));
}

TEST(Centre, CubeVolumeCentreAndFallbacks)
{
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    unitCube(v, i);
    auto c = computeMeshCenter(v, i, true);
    expectVec(c.data(), 0.5f, 0.5f, 0.5f);
    c = computeMeshCenter(v, i, false);
    expectVec(c.data(), 0.5f, 0.5f, 0.5f);

    // Shifted so the volume and area centres differ: a cube with one corner
    // pulled out.
    v[6] = record(3, 3, 3);
    const auto vol = computeMeshCenter(v, i, true);
    for (float x : vol) EXPECT_TRUE(std::isfinite(x));

    // An open mesh called closed: zero "volume" must not give a centre at
    // infinity.
    auto flat = records({{0, 0, 0}, {2, 0, 0}, {0, 2, 0}});
    c = computeMeshCenter(flat, {0, 1, 2}, true);
    expectVec(c.data(), 2.0f / 3, 2.0f / 3, 0);
    // No triangles at all: the box centre.
    c = computeMeshCenter(flat, {}, false);
    expectVec(c.data(), 1, 1, 0);
}
