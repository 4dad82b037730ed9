#include "LineGeometry.h"
#include "MeshVertex.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

MeshVertex vertex(float x, float y, float z, float nx = 0, float ny = 0, float nz = 1)
{
    return {{x, y, z}, {nx, ny, nz}, {0.6f, 0.7f, 0.8f}, {0, 0}};
}

struct Lines {
    LineGeometry geometry;
    LineGroupMap groups = makeLineGroupMap();
};

// Every stored group lies inside the index array and points at vertices.
void expectConsistent(const Lines& l)
{
    for (const auto& [name, g] : l.groups) {
        EXPECT_LE(g.firstIndex + g.indexCount, l.geometry.indices.size()) << name;
        for (uint32_t i = g.firstIndex; i < g.firstIndex + g.indexCount; ++i) {
            EXPECT_LT(l.geometry.indices[i], l.geometry.vertices.size()) << name;
        }
    }
}

} // namespace

TEST(LineGeometry, AxisAfterClear)
{
    Lines l;
    addDrawAxis(l.geometry, l.groups, {1, 1, 1}, {2, 3, 4}, true, "old");
    clearLines(l.geometry, l.groups);
    addDrawAxis(l.geometry, l.groups, {1, 2, 3}, {2, 3, 4}, false, "axis");
    ASSERT_EQ(l.geometry.vertices.size(), 6u);
    ASSERT_EQ(l.geometry.indices, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
    ASSERT_EQ(l.groups.size(), 1u);
    const LineGroup& g = l.groups.at("axis");
    EXPECT_TRUE(g.visible);
    EXPECT_EQ(g.firstIndex, 0u);
    EXPECT_EQ(g.indexCount, 6u);
    EXPECT_EQ(g.lineWidth, 1.0f);
    EXPECT_EQ(g.alwaysFront, 0u);
    EXPECT_EQ(l.geometry.vertices[0].position[0], -1.0f);
    EXPECT_EQ(l.geometry.vertices[3].position[1], 5.0f);
    EXPECT_EQ(l.geometry.vertices[4].position[2], -1.0f);
    EXPECT_EQ(l.geometry.vertices[1].color[0], 0.9f);
    EXPECT_EQ(l.geometry.vertices[2].color[1], 0.86f);
    EXPECT_EQ(l.geometry.vertices[5].color[2], 1.0f);
}

TEST(LineGeometry, SameNameTwiceKeepsBothSetsAndPointsAtTheSecond)
{
    Lines l;
    addDrawAxis(l.geometry, l.groups, {0, 0, 0}, {1, 1, 1}, false, "axis");
    addDrawAabb(l.geometry, l.groups, {0, 0, 0}, {1, 1, 1}, {0.3f, 0.3f, 0.3f}, true, false, "box");
    addDrawAabb(l.geometry, l.groups, {0, 0, 0}, {2, 2, 2}, {0.3f, 0.3f, 0.3f}, true, false, "box");
    EXPECT_EQ(l.geometry.vertices.size(), 6u + 8u + 8u);
    EXPECT_EQ(l.geometry.indices.size(), 6u + 24u + 24u);
    const LineGroup& g = l.groups.at("box");
    EXPECT_EQ(g.firstIndex, 30u);
    EXPECT_EQ(g.indexCount, 24u);
    // The second box's indices are offset by all earlier vertices.
    EXPECT_EQ(l.geometry.indices[30], 14u);
    EXPECT_EQ(l.groups.size(), 2u);
    expectConsistent(l);
}

TEST(LineGeometry, AabbCornersEdgesAndMirroring)
{
    Lines l;
    addDrawAabb(l.geometry, l.groups, {0, 1, 2}, {3, 4, 5}, {0.3f, 0.3f, 0.3f}, false, true, "aabb");
    ASSERT_EQ(l.geometry.vertices.size(), 8u);
    EXPECT_EQ(l.geometry.vertices[0].position[1], -1.0f);
    EXPECT_EQ(l.geometry.vertices[2].position[1], -4.0f);
    EXPECT_EQ(l.geometry.vertices[6].position[0], 3.0f);
    EXPECT_EQ(l.geometry.vertices[6].position[2], 5.0f);
    const std::vector<uint32_t> edges = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6, 6, 7, 7, 4, 0, 4, 1, 5, 2, 6, 3, 7};
    EXPECT_EQ(l.geometry.indices, edges);

    // A point box still stores the whole box.
    Lines p;
    addDrawAabb(p.geometry, p.groups, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, false, false, "aabb");
    EXPECT_EQ(p.geometry.vertices.size(), 8u);
    EXPECT_EQ(p.geometry.indices.size(), 24u);
}

TEST(LineGeometry, NormalsAreHiddenSegmentsAlongTheStoredNormal)
{
    Lines l;
    addDrawNormals(l.geometry, l.groups, {}, 1.0f, "normals");
    EXPECT_FALSE(l.groups.at("normals").visible);
    EXPECT_EQ(l.groups.at("normals").indexCount, 0u);

    addDrawAxis(l.geometry, l.groups, {0, 0, 0}, {1, 1, 1}, true, "axis");
    addDrawNormals(l.geometry, l.groups, {vertex(1, 2, 3, 0, 2, 0), vertex(0, 0, 0)}, 0.5f, "normals");
    const LineGroup& g = l.groups.at("normals");
    EXPECT_FALSE(g.visible);
    EXPECT_EQ(g.firstIndex, 6u);
    EXPECT_EQ(g.indexCount, 4u);
    ASSERT_EQ(l.geometry.vertices.size(), 10u);
    // Not normalised again: a normal of length 2 gives a segment of length 1.
    EXPECT_EQ(l.geometry.vertices[7].position[1], 3.0f);
    EXPECT_EQ(l.geometry.vertices[7].color[1], 1.0f);
    EXPECT_EQ(l.geometry.indices[6], 6u);
    EXPECT_EQ(l.geometry.indices[9], 9u);
    expectConsistent(l);
}

TEST(LineGeometry, MeshEdgesNeedWholeSegments)
{
    Lines l;
    addDrawMeshEdges(l.geometry, l.groups, {}, {1, 0, 0}, true, "edges", 2.0f, true);
    EXPECT_EQ(l.groups.at("edges").indexCount, 0u);

    addDrawAxis(l.geometry, l.groups, {0, 0, 0}, {1, 1, 1}, true, "axis");
    const auto before = l.geometry.vertices.size();
    EXPECT_THROW(addDrawMeshEdges(l.geometry, l.groups, {vertex(0, 0, 0), vertex(1, 0, 0), vertex(2, 0, 0)},
                                  {1, 0, 0}, true, "odd", 2.0f, true),
                 std::runtime_error);
    EXPECT_EQ(l.geometry.vertices.size(), before);
    EXPECT_EQ(l.groups.count("odd"), 0u);

    addDrawMeshEdges(l.geometry, l.groups, {vertex(0, 0, 0), vertex(1, 0, 0), vertex(2, 0, 0), vertex(3, 0, 0)},
                     {1, 0, 0}, true, "edges", 2.0f, true);
    const LineGroup& g = l.groups.at("edges");
    EXPECT_EQ(g.lineWidth, 2.0f);
    EXPECT_EQ(g.alwaysFront, 1u);
    EXPECT_EQ(g.indexCount, 4u);
    EXPECT_EQ(l.geometry.indices[g.firstIndex], 6u);
    expectConsistent(l);
}

TEST(LineGeometry, OverlaysKeepVisibilityAcrossRebuilds)
{
    Lines l;
    const std::vector<MeshVertex> records = {vertex(0, 0, 0), vertex(2, 0, 0), vertex(0, 4, 0)};
    const std::vector<MeshVertex> boundary = {vertex(0, 0, 0), vertex(2, 0, 0)};
    const std::vector<MeshVertex> complex = {vertex(0, 0, 0), vertex(0, 4, 0)};
    rebuildLineOverlays(l.geometry, l.groups, records, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, boundary, complex);
    ASSERT_EQ(l.groups.size(), 5u);
    EXPECT_TRUE(l.groups.at("axis").visible);
    EXPECT_TRUE(l.groups.at("aabb").visible);
    EXPECT_FALSE(l.groups.at("normals").visible);
    EXPECT_FALSE(l.groups.at("edges_boundary").visible);
    EXPECT_TRUE(l.groups.at("edges_complex").visible);
    // Flat along z: the axis has zero length there; half lengths 0.81 x extent.
    EXPECT_FLOAT_EQ(l.geometry.vertices[1].position[0], 1.0f + 0.81f * 2.0f);
    EXPECT_FLOAT_EQ(l.geometry.vertices[5].position[2], 0.0f);
    // Normals 0.025 x the largest extent long.
    const LineGroup& n = l.groups.at("normals");
    const LineVertex& tip = l.geometry.vertices[l.geometry.indices[n.firstIndex + 1]];
    EXPECT_FLOAT_EQ(tip.position[2], 0.1f);
    expectConsistent(l);

    l.groups.at("normals").visible = true;
    l.groups.at("aabb").visible = false;
    l.groups.at("edges_boundary").visible = true;
    l.groups.at("edges_complex").visible = false;
    rebuildLineOverlays(l.geometry, l.groups, records, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, boundary, complex);
    EXPECT_TRUE(l.groups.at("normals").visible);
    EXPECT_FALSE(l.groups.at("aabb").visible);
    EXPECT_TRUE(l.groups.at("edges_boundary").visible);
    EXPECT_FALSE(l.groups.at("edges_complex").visible);
    expectConsistent(l);

    // A group that disappears loses its flag; its return starts from the default.
    rebuildLineOverlays(l.geometry, l.groups, records, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, {}, {});
    EXPECT_EQ(l.groups.count("edges_boundary"), 0u);
    rebuildLineOverlays(l.geometry, l.groups, records, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, boundary, complex);
    EXPECT_FALSE(l.groups.at("edges_boundary").visible);
    EXPECT_TRUE(l.groups.at("edges_complex").visible);
}

TEST(LineGeometry, EmptyBoxGivesOnlyTheUnitAxis)
{
    Lines l;
    l.groups["axis"].visible = false;
    rebuildLineOverlays(l.geometry, l.groups, {vertex(1, 1, 1)}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {}, {});
    ASSERT_EQ(l.groups.size(), 1u);
    EXPECT_TRUE(l.groups.at("axis").visible);
    ASSERT_EQ(l.geometry.vertices.size(), 6u);
    EXPECT_EQ(l.geometry.vertices[0].position[0], -1.0f);
    EXPECT_EQ(l.geometry.vertices[5].position[2], 1.0f);
}
