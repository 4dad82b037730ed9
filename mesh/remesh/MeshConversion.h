#pragma once
// Conversions between the document's flat arrays and the halfedge mesh of
// the remesher, and the flattening that feeds the reference surface.

#include "HalfedgeMesh.h"
#include "MeshVertex.h"
#include "RefSurface.h"

#include <cstdint>
#include <vector>

// Builds a halfedge mesh from records and index triples (records taken three
// by three when the index list is empty). A triple with a repeated or
// out-of-range index, or a copy of a triangle already added, is skipped; any
// other triple the kernel refuses at a complex edge or vertex is added on
// fresh copies of its corners, so no surface is lost.
HalfedgeMesh buildHalfedgeMesh(const std::vector<MeshVertex>& records,
                               const std::vector<uint32_t>& indices);

// Fills records and index triples from a garbage-collected halfedge mesh.
void extractVertexRecords(const HalfedgeMesh& mesh, std::vector<MeshVertex>& records,
                          std::vector<uint32_t>& indices, const float* color);

void flattenForRefSurface(const HalfedgeMesh& mesh, std::vector<RefVertex>& vertices,
                          std::vector<RefTriangle>& triangles);

double computeSurfaceArea(const HalfedgeMesh& mesh);

// Deletes vertices without faces and collects garbage; returns how many.
uint64_t removeIsolatedVertices(HalfedgeMesh& mesh);
