#pragma once
// Small meshes built in code for the remesher tests.

#include "MeshVertex.h"
#include "remesh/HalfedgeMesh.h"

#include <array>
#include <cstdint>
#include <vector>

struct FlatMesh {
    std::vector<MeshVertex> records;
    std::vector<uint32_t> indices;

    uint32_t add(double x, double y, double z, double nx = 0, double ny = 0, double nz = 1);
    void tri(uint32_t a, uint32_t b, uint32_t c);
};

// A planar n x n grid of squares in z = 0, each cut along one diagonal.
FlatMesh makeGrid(int n, double size = 1.0);
// The unit cube [0,1]^3 with two triangles per face, outward normals.
FlatMesh makeCube();
// A sphere of the given radius from a subdivided icosahedron.
FlatMesh makeIcosphere(int subdivisions, double radius = 1.0);
// A closed cylinder (radius r, height h) with flat caps.
FlatMesh makeCappedCylinder(int segments, int rings, double r, double h);

HalfedgeMesh toHalfedge(const FlatMesh& m);

// Every triangle as its corner points, starting at the smallest corner (the
// orientation kept), sorted: equal for meshes that differ only in numbering.
std::vector<std::array<OpenMesh::Vec3d, 3>> trianglesByPosition(const HalfedgeMesh& m);
