#pragma once
// Isotropic surface remesher. It keeps a read-only reference mesh (owned by
// the caller, which must outlive it and never move) with its ray-query
// surface, and edits its own working copy towards one target edge length
// (Uniform) or a curvature-driven length per vertex (Adaptive). One remesher
// is used by one thread at a time; its passes fan out on TBB internally.

#include "HalfedgeMesh.h"
#include "RefSurface.h"

#include <cstdint>
#include <utility>
#include <vector>

struct TaskStatus;

typedef uint32_t RemeshType;
constexpr RemeshType RemeshTypeNone = 0;
constexpr RemeshType RemeshTypeUniform = 1;
constexpr RemeshType RemeshTypeAdaptive = 2;

// Above this many vertices the projection and the smoothing run in parallel.
constexpr size_t RemeshSerialVertexLimit = 100000;

// Removes zero-area triangles by a flip or a collapse; returns how many.
uint64_t repairDegenerateTriangles(HalfedgeMesh& mesh);

// Closest point of p on triangle (a, b, c) with its barycentric weights.
OpenMesh::Vec3d closestPointOnTriangle(const OpenMesh::Vec3d& p, const OpenMesh::Vec3d& a,
                                       const OpenMesh::Vec3d& b, const OpenMesh::Vec3d& c,
                                       double& u, double& v, double& w);

class Remesher {
public:
    Remesher();
    explicit Remesher(const HalfedgeMesh* referenceMesh);
    ~Remesher();

    Remesher(const Remesher&) = delete;
    Remesher& operator=(const Remesher&) = delete;
    Remesher& operator=(Remesher&& other) noexcept;

    // Set-up.
    void setup(const RemeshType* remeshType, uint64_t requestedCount, double ratio);
    void initWorkingMesh();

    // Drivers.
    void remesh(uint32_t iterations, TaskStatus* status);
    void remeshAdaptive(uint32_t iterations, TaskStatus* status);
    void smooth(uint32_t iterations, TaskStatus* status);

    // Curvature and sizing.
    void computeAdaptiveSizing(uint64_t requestedCount, double ratio);
    void computeCurvatures();
    void smoothSizingOneRing(int32_t rounds, float weight);
    void smoothSizingField(int32_t rounds, float weight);

    // Split and collapse.
    void splitLongCollapseShortEdges(int32_t rounds, const RemeshType* remeshType);
    void collapseShortEdges(const std::vector<std::pair<double, int32_t>>& list, const RemeshType* remeshType);
    void splitEdgeAtMidpoint(const RemeshType* remeshType, HalfedgeMesh::EdgeHandle e,
                             HalfedgeMesh::VertexHandle a, HalfedgeMesh::VertexHandle b);
    bool isCollapseOk(HalfedgeMesh::HalfedgeHandle h, const RemeshType* remeshType,
                      bool checkLength) const;

    // Flips.
    void equalizeValences();
    bool isFlipBeneficial(HalfedgeMesh::VertexHandle a, HalfedgeMesh::VertexHandle b,
                          HalfedgeMesh::VertexHandle c, HalfedgeMesh::VertexHandle d) const;

    // Smoothing.
    void tangentialSmoothing(uint32_t iterations, bool useAreaWeights, const RemeshType* remeshType,
                             TaskStatus* status);
    bool isVertexMovable(HalfedgeMesh::VertexHandle v) const;
    OpenMesh::Vec3d oneRingCentroid(HalfedgeMesh::VertexHandle v) const;
    OpenMesh::Vec3d oneRingAreaWeightedCentroid(HalfedgeMesh::VertexHandle v,
                                                OpenMesh::VPropHandleT<double> weight) const;
    bool tangentialRelaxVertex(HalfedgeMesh::VertexHandle v, bool useAreaWeights,
                               OpenMesh::VPropHandleT<double> weight, OpenMesh::Vec3d& newPoint) const;
    bool tangentialRelaxVertex_parallel(HalfedgeMesh::VertexHandle v, bool useAreaWeights,
                                        OpenMesh::VPropHandleT<double> weight,
                                        OpenMesh::Vec3d& newPoint) const;

    // Bad triangles.
    uint64_t removeBadTriangles(const RemeshType* remeshType);

    // Projection onto the reference surface.
    void projectToRefSurface(const RemeshType* remeshType);
    void projectVertexToRefSurface(HalfedgeMesh::VertexHandle v, RemeshType remeshType);

    const HalfedgeMesh* reference = nullptr;
    double area = 0.0;
    RefSurface refSurface;
    RemeshType type = RemeshTypeNone;
    uint64_t targetCount = 0;
    HalfedgeMesh working;
    double targetLength = 0.0;
    double maxLengthSq = 0.0;
    double sizeRatio = 5.0;
    std::vector<double> refSizing;

    OpenMesh::VPropHandleT<int32_t> valenceDeviation;
    OpenMesh::EPropHandleT<double> edgeCotWeight;
    OpenMesh::VPropHandleT<double> voronoiArea;
    OpenMesh::VPropHandleT<double> meanCurvature;
    OpenMesh::VPropHandleT<OpenMesh::Vec3d> meanCurvatureNormal;
    OpenMesh::VPropHandleT<double> gaussCurvature;
    OpenMesh::VPropHandleT<double> rmsCurvature;
    OpenMesh::VPropHandleT<double> adaptiveSizing;

private:
    struct Hit {
        OpenMesh::Vec3d point;
        double u, v, w;
        double best;
        HalfedgeMesh::VertexHandle corners[3];
        HalfedgeMesh::FaceHandle face;
    };
    void snapToFacesAroundVertex(const OpenMesh::Vec3d& p, HalfedgeMesh::VertexHandle x, Hit& hit) const;
    void snapToFaceAcrossEdge(const OpenMesh::Vec3d& p, HalfedgeMesh::HalfedgeHandle h, Hit& hit) const;
    void removeProperties();
    double edgeTargetLength(HalfedgeMesh::VertexHandle a, HalfedgeMesh::VertexHandle b,
                            RemeshType remeshType) const;
};
