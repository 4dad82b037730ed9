#pragma once
// Quantities derived from a loaded mesh: the bounding box and the centre.
// (The vertex normals are TriMesh::ComputeVertexNormals.) Pure functions,
// safe to run side by side on the same records.

#include "MeshVertex.h"

#include <array>
#include <cstdint>
#include <vector>

// Minimum x, y, z, then maximum x, y, z; all zero without records.
std::array<float, 6> computeBoundingBox(const std::vector<MeshVertex>& records);

// Volume centroid of a closed mesh (volume true) or area centroid of its
// triangles. Falls back to the area form when the enclosed volume vanishes
// or the result is not finite, and to the box centre when there is no area.
std::array<float, 3> computeMeshCenter(const std::vector<MeshVertex>& records,
                                       const std::vector<uint32_t>& indices, bool volume);
// The same with the records' bounding box already at hand.
std::array<float, 3> computeMeshCenter(const std::vector<MeshVertex>& records,
                                       const std::vector<uint32_t>& indices, bool volume,
                                       const std::array<float, 6>& box);
