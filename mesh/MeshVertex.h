#pragma once
// The vertex record shared by the document, the remesher results and the
// render vertex buffers. Its 44-byte layout is also the vertex-buffer stride.

#include <cstdint>

struct MeshVertex {
    float position[3];
    float normal[3];
    float color[3];
    float texcoord[2];
};

static_assert(sizeof(MeshVertex) == 44, "MeshVertex must stay eleven packed floats");
