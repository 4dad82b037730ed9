#pragma once
// Mesh checks and repair of a freshly loaded mesh: removes triangles that
// use one vertex twice, finds boundary edges (one triangle) and complex
// edges (more than two), and splits the triangle fans meeting at a complex
// edge apart by giving each split-off fan its own copies of the vertices.
//
// Lives only for the check step of a load, on the load task's worker; the
// edge map is built with parallel loops, the split runs on the caller alone.
// The edge map is grouped by the larger vertex of each edge, with each
// edge's triangles in ascending order, so every result is the same on every
// run.

#include "MeshKeys.h"
#include "MeshVertex.h"

#include <spdlog/logger.h>

#include <cstdint>
#include <memory>
#include <vector>

class MeshChecker {
public:
    MeshChecker(std::vector<MeshVertex>&& records, std::vector<uint32_t>&& triangles);

    void removeDegenerateFaces();
    void buildEdgeMap();
    void checkManifoldness();

    // Two records per edge: the larger index's, then the smaller's.
    std::vector<MeshVertex> edgeSegments(const std::vector<Edge>& keys) const;

    // The triangles of an edge as the map holds them now; empty when the edge
    // is not in the map.
    std::vector<uint32_t> edgeTriangles(const Edge& edge) const;

    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices;
    uint32_t triangleCount = 0;
    std::vector<Edge> complexEdgeKeys;
    std::vector<Edge> boundaryEdgeKeys;
    std::vector<Edge> singleEdges;
    std::shared_ptr<spdlog::logger> logger;

private:
    struct EdgeEntry {
        uint32_t smaller;
        uint32_t triangle;
    };
    static constexpr uint32_t ComplexBit = 0x80000000u;
    static constexpr uint32_t NotFound = 0xFFFFFFFFu;

    // Position of the edge's run in `entries`, or NotFound.
    uint32_t findEdge(const Edge& edge) const;
    uint32_t listLength(uint32_t run) const { return runInfo[run] & ~ComplexBit; }
    bool isComplex(uint32_t run) const { return (runInfo[run] & ComplexBit) != 0; }
    bool removeFaceFromList(uint32_t run, uint32_t face);
    uint32_t oppositeVertex(uint32_t face, const Edge& edge) const;

    struct SplitLists;
    void walkEdgeFan(uint32_t face, Edge edge, uint32_t pivot, SplitLists& lists);

    // Edges grouped by their larger vertex: the entries of vertex v lie in
    // [offsets[v], offsets[v + 1]), sorted by smaller vertex, then triangle.
    uint32_t mapVertexCount = 0;
    std::vector<uint32_t> offsets;
    std::vector<EdgeEntry> entries;
    // At the first entry of each edge's run: its list length, plus ComplexBit
    // when the edge was classified complex.
    std::vector<uint32_t> runInfo;
};
