#include "TestMeshes.h"

#include "remesh/MeshConversion.h"
#include "remesh/Remesher.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(MeshConversion, RecordsTakenThreeByThreeWhenNoIndices)
{
    FlatMesh m;
    for (int i = 0; i < 7; ++i) m.add(i, i * i, 0.5 * i);
    HalfedgeMesh mesh = buildHalfedgeMesh(m.records, {});
    EXPECT_EQ(mesh.n_vertices(), 7u);
    EXPECT_EQ(mesh.n_faces(), 2u);
    EXPECT_TRUE(mesh.is_isolated(HalfedgeMesh::VertexHandle(6)));
}

TEST(MeshConversion, TrailingIndicesAndBadTriplesAreLeftOut)
{
    FlatMesh m = makeGrid(1);
    m.indices.push_back(0);
    m.indices.push_back(1);
    EXPECT_EQ(toHalfedge(m).n_faces(), 2u);

    // A repeated index would abort the kernel; an index past the records is unsafe.
    m.indices.resize(6);
    m.tri(1, 1, 2);
    m.tri(0, 2, 99);
    EXPECT_EQ(toHalfedge(m).n_faces(), 2u);
}

TEST(MeshConversion, RefusedTriangleIsKeptOnItsOwnCorners)
{
    // Three triangles on one edge: the third cannot join the first two.
    FlatMesh m;
    uint32_t a = m.add(0, 0, 0), b = m.add(1, 0, 0);
    uint32_t c = m.add(0, 1, 0), d = m.add(0, -1, 0), e = m.add(0, 0, 1);
    m.tri(a, b, c);
    m.tri(b, a, d);
    m.tri(a, b, e);
    // A repeated triangle adds nothing, in either orientation.
    m.tri(a, b, c);
    m.tri(c, b, a);
    HalfedgeMesh mesh = toHalfedge(m);
    EXPECT_EQ(mesh.n_faces(), 3u);
    EXPECT_EQ(mesh.n_vertices(), 8u);
    EXPECT_NEAR(computeSurfaceArea(mesh), 1.5, 1e-12);
}

TEST(MeshConversion, ExtractGivesBackRecordsAndTriples)
{
    FlatMesh m = makeCube();
    HalfedgeMesh mesh = toHalfedge(m);
    std::vector<MeshVertex> records;
    std::vector<uint32_t> indices;
    const float color[3] = {0.6f, 0.7f, 0.8f};
    extractVertexRecords(mesh, records, indices, color);
    ASSERT_EQ(records.size(), m.records.size());
    ASSERT_EQ(indices.size(), m.indices.size());
    for (size_t i = 0; i < records.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(records[i].position[c], m.records[i].position[c]);
            EXPECT_EQ(records[i].normal[c], m.records[i].normal[c]);
            EXPECT_EQ(records[i].color[c], color[c]);
        }
        EXPECT_EQ(records[i].texcoord[0], 0.0f);
        EXPECT_EQ(records[i].texcoord[1], 0.0f);
    }
    // Each face comes back as a rotation of its input triple.
    for (size_t f = 0; f < indices.size() / 3; ++f) {
        bool same = false;
        for (int r = 0; r < 3; ++r) {
            same |= indices[3 * f] == m.indices[3 * f + r] &&
                    indices[3 * f + 1] == m.indices[3 * f + (r + 1) % 3] &&
                    indices[3 * f + 2] == m.indices[3 * f + (r + 2) % 3];
        }
        EXPECT_TRUE(same) << "face " << f;
    }
}

TEST(MeshConversion, AreaOfUnitRightTriangle)
{
    FlatMesh m;
    m.tri(m.add(0, 0, 0), m.add(1, 0, 0), m.add(0, 1, 0));
    EXPECT_DOUBLE_EQ(computeSurfaceArea(toHalfedge(m)), 0.5);
}

TEST(RefSurface, RaysHitAndMissLikeTheQuad)
{
    HalfedgeMesh mesh = toHalfedge(makeGrid(1, 2.0));
    RefSurface surface(mesh);
    const double org[3] = {1.5, 0.5, 1.0};
    const double down[3] = {0, 0, -1};
    const double up[3] = {0, 0, 1};
    uint32_t prim = 77;
    float dist = 0;
    ASSERT_TRUE(surface.intersect(org, down, 0.0f, 10.0f, prim, &dist));
    EXPECT_EQ(prim, 0u);
    EXPECT_FLOAT_EQ(dist, 1.0f);
    EXPECT_FALSE(surface.intersect(org, up, 0.0f, 10.0f, prim, &dist));
    EXPECT_FALSE(surface.intersect(org, down, 0.0f, 0.5f, prim, &dist));

    // A moved-to surface keeps answering; the moved-from one answers nothing.
    RefSurface other(std::move(surface));
    EXPECT_TRUE(other.intersect(org, down, 0.0f, 10.0f, prim));
    EXPECT_FALSE(surface.intersect(org, down, 0.0f, 10.0f, prim));
    other = RefSurface(toHalfedge(makeCube()));
    const double above[3] = {0.5, 0.25, 2.0};
    EXPECT_TRUE(other.intersect(above, down, 0.0f, 10.0f, prim, &dist));
    EXPECT_FLOAT_EQ(dist, 1.0f);
    RefSurface empty(std::vector<RefVertex>{}, std::vector<RefTriangle>{});
    EXPECT_FALSE(empty.intersect(org, down, 0.0f, 10.0f, prim));
}
