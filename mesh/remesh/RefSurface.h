#pragma once
// The reference surface of a remesh: a static Embree scene over a flattened
// copy of the reference mesh, answering single-ray queries. The scene points
// into the two arrays, so the holder is move-only and a move keeps the array
// storage. Queries are safe from several threads once constructed.

#include "HalfedgeMesh.h"

#include <cstdint>
#include <vector>

struct RTCDeviceTy;
struct RTCSceneTy;

struct RefVertex {
    float x, y, z, pad;
};
static_assert(sizeof(RefVertex) == 16, "Embree reads vertices with a 16-byte stride");

struct RefTriangle {
    uint32_t v0, v1, v2;
};
static_assert(sizeof(RefTriangle) == 12, "Embree reads triangles with a 12-byte stride");

class RefSurface {
public:
    RefSurface() = default;
    explicit RefSurface(const HalfedgeMesh& mesh);
    RefSurface(std::vector<RefVertex>&& vertices, std::vector<RefTriangle>&& triangles);
    ~RefSurface();

    RefSurface(const RefSurface&) = delete;
    RefSurface& operator=(const RefSurface&) = delete;
    RefSurface(RefSurface&& other) noexcept;
    RefSurface& operator=(RefSurface&& other) noexcept;

    // Releases the scene and the device (each once) and frees both arrays.
    void release();

    // True when the ray from org along dir hits a triangle within [tnear, tfar].
    bool intersect(const double org[3], const double dir[3], float tnear, float tfar,
                   uint32_t& primId, float* hitDistance = nullptr) const;

    std::vector<RefVertex> vertices;
    std::vector<RefTriangle> triangles;
    RTCDeviceTy* device = nullptr;
    RTCSceneTy* scene = nullptr;
};
