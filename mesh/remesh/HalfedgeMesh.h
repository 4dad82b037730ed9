#pragma once
// The halfedge triangle mesh the remesher works on: double-precision points
// and normals, status attributes requested at run time.

#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>

struct TriMeshTraits : public OpenMesh::DefaultTraits {
    typedef OpenMesh::Vec3d Point;
    typedef OpenMesh::Vec3d Normal;
};

typedef OpenMesh::TriMesh_ArrayKernelT<TriMeshTraits> HalfedgeMesh;
