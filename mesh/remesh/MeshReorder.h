#pragma once
// Compaction of a halfedge mesh that also puts neighbours close in memory:
// vertices along a space-filling curve over their positions, edges and faces
// after their lowest-numbered vertex. Sweeps in index order then walk the
// surface patch by patch instead of jumping across it, and the numbering
// depends on the geometry only, not on the order of the edits before it.

#include "HalfedgeMesh.h"

// Drops the elements marked deleted (as garbage_collection does) and
// renumbers the rest. Every vertex, edge, halfedge and face property follows
// its element; halfedge pairs keep their order and each vertex and face its
// own halfedge. The mesh needs vertex, edge and face status.
void compactInLocalityOrder(HalfedgeMesh& mesh);
