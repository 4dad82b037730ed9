#include "Remesher.h"

#include "MeshConversion.h"
#include "RemeshParallel.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace {

// Creases sharper than 40 degrees are kept as feature edges.
constexpr double FeatureAngle = 0.6981317007977318;

} // namespace

Remesher::Remesher() = default;

Remesher::Remesher(const HalfedgeMesh* referenceMesh) : reference(referenceMesh)
{
    if (reference) {
        area = computeSurfaceArea(*reference);
        refSurface = RefSurface(*reference);
    }
}

Remesher::~Remesher()
{
    removeProperties();
    std::vector<double>().swap(refSizing);
    working.clear();
    refSurface.release();
}

Remesher& Remesher::operator=(Remesher&& other) noexcept
{
    if (this == &other) return *this;
    reference = other.reference;
    area = other.area;
    refSurface = std::move(other.refSurface);
    type = other.type;
    targetCount = other.targetCount;
    working = other.working;
    targetLength = other.targetLength;
    maxLengthSq = other.maxLengthSq;
    sizeRatio = other.sizeRatio;
    refSizing = std::move(other.refSizing);
    valenceDeviation = other.valenceDeviation;
    edgeCotWeight = other.edgeCotWeight;
    voronoiArea = other.voronoiArea;
    meanCurvature = other.meanCurvature;
    meanCurvatureNormal = other.meanCurvatureNormal;
    gaussCurvature = other.gaussCurvature;
    rmsCurvature = other.rmsCurvature;
    adaptiveSizing = other.adaptiveSizing;
    return *this;
}

void Remesher::removeProperties()
{
    auto drop = [this](auto& handle) {
        if (handle.is_valid()) {
            working.remove_property(handle);
            handle.reset();
        }
    };
    drop(valenceDeviation);
    drop(edgeCotWeight);
    drop(voronoiArea);
    drop(meanCurvature);
    drop(meanCurvatureNormal);
    drop(gaussCurvature);
    drop(rmsCurvature);
    drop(adaptiveSizing);
}

void Remesher::setup(const RemeshType* remeshType, uint64_t requestedCount, double ratio)
{
    type = *remeshType;
    const uint64_t n = std::max<uint64_t>(requestedCount, 1);
    targetCount = n;

    initWorkingMesh();

    if (type == RemeshTypeNone) throw std::runtime_error("Remesh type must be Uniform or Adaptive.");
    if ((type == RemeshTypeUniform || type == RemeshTypeAdaptive) && !(area > 0.0 && std::isfinite(area))) {
        // A zero or non-finite target length would make every edge "too long" forever.
        type = RemeshTypeNone;
        throw std::runtime_error("@setup: the mesh has no finite surface area to remesh.");
    }

    if (type == RemeshTypeUniform) {
        targetLength = std::sqrt(area / static_cast<double>(n) * 2.31);
        std::printf("total mesh surf area: %f | uniform target edge length: %f\n", area, targetLength);
        maxLengthSq = (targetLength * 4.0 / 3.0) * (targetLength * 4.0 / 3.0);
    } else if (type == RemeshTypeAdaptive) {
        computeAdaptiveSizing(n, ratio);
    }
}

void Remesher::initWorkingMesh()
{
    // Assigning replaces every property, so stale handles must not survive it.
    valenceDeviation.reset();
    edgeCotWeight.reset();
    voronoiArea.reset();
    meanCurvature.reset();
    meanCurvatureNormal.reset();
    gaussCurvature.reset();
    rmsCurvature.reset();
    adaptiveSizing.reset();
    if (reference) {
        working = *reference;
    } else {
        working = HalfedgeMesh();
    }

    if (!working.has_vertex_status()) working.request_vertex_status();
    if (!working.has_edge_status()) working.request_edge_status();
    if (!working.has_face_status()) working.request_face_status();

    if (!working.has_vertex_normals()) {
        working.request_vertex_normals();
        for (HalfedgeMesh::VertexHandle vh : working.vertices()) {
            HalfedgeMesh::Normal n;
            working.calc_vertex_normal_correct(vh, n);
            working.set_normal(vh, n);
        }
    }

    working.add_property(valenceDeviation, "_vert_valence_deviation");
    working.add_property(edgeCotWeight, "_edge_cot_weight");
    working.add_property(voronoiArea, "_vert_voronoi_area");
    working.add_property(meanCurvature, "_vert_mean_curvature");
    working.add_property(meanCurvatureNormal, "_vert_mean_curvature_normal");
    working.add_property(gaussCurvature, "_vert_gauss_curvature");
    working.add_property(rmsCurvature, "_vert_rms_curvature");
    working.add_property(adaptiveSizing, "_vert_adaptive_sizing");

    // Each edge's angle depends on its own two triangles only.
    parallelIndices(working.n_edges(), 4096, [this](size_t i) {
        const HalfedgeMesh::EdgeHandle eh(static_cast<int>(i));
        if (working.status(eh).deleted()) return;
        const double angle = working.calc_dihedral_angle(working.halfedge_handle(eh, 0));
        working.status(eh).set_feature(std::abs(angle) > FeatureAngle);
    });
}

double Remesher::edgeTargetLength(HalfedgeMesh::VertexHandle a, HalfedgeMesh::VertexHandle b,
                                  RemeshType remeshType) const
{
    if (remeshType == RemeshTypeAdaptive) {
        return (working.property(adaptiveSizing, a) + working.property(adaptiveSizing, b)) / 2.0;
    }
    return targetLength;
}
