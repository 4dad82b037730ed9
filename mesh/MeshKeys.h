#pragma once
// Keys and hash functors of the vertex merge and the edge analysis.

#include "MeshVertex.h"

#include <cstddef>
#include <cstdint>

// Hashes the position alone; -0.0 is hashed as +0.0 so that keys equal by
// float comparison always share a hash.
struct VertexHasher {
    size_t operator()(const MeshVertex& v) const;
};

// Two records are the same vertex when their positions compare equal.
struct VertexPositionEqual {
    bool operator()(const MeshVertex& a, const MeshVertex& b) const
    {
        return a.position[0] == b.position[0] && a.position[1] == b.position[1] &&
               a.position[2] == b.position[2];
    }
};

// An undirected edge: the larger vertex index first. Building one from two
// equal indices throws "degenerate edge!".
struct Edge {
    uint32_t larger;
    uint32_t smaller;

    Edge(uint32_t a, uint32_t b);
    bool operator==(const Edge& o) const { return larger == o.larger && smaller == o.smaller; }
};
static_assert(sizeof(Edge) == 8, "an edge key is two 32-bit indices");

struct EdgeHasher {
    size_t operator()(const Edge& e) const;
};
