#include "Remesher.h"

#include "TaskStatus.h"

#include <tbb/concurrent_vector.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_for_each.h>

#include <cmath>

typedef HalfedgeMesh::VertexHandle VH;

namespace {

struct VertexPositionUpdate {
    VH vertex;
    OpenMesh::Vec3d position;
};

} // namespace

bool Remesher::isVertexMovable(VH v) const
{
    const HalfedgeMesh& m = working;
    const HalfedgeMesh::HalfedgeHandle h = m.halfedge_handle(v);
    if (!h.is_valid() || !m.face_handle(h).is_valid()) return false;
    for (HalfedgeMesh::HalfedgeHandle g : m.voh_range(v)) {
        if (m.status(m.edge_handle(g)).feature()) return false;
    }
    return true;
}

OpenMesh::Vec3d Remesher::oneRingCentroid(VH v) const
{
    const HalfedgeMesh& m = working;
    OpenMesh::Vec3d sum(0, 0, 0);
    int count = 0;
    for (VH w : m.vv_range(v)) {
        sum += m.point(w);
        ++count;
    }
    return count > 0 ? sum / count : m.point(v);
}

OpenMesh::Vec3d Remesher::oneRingAreaWeightedCentroid(VH v, OpenMesh::VPropHandleT<double> weight) const
{
    const HalfedgeMesh& m = working;
    OpenMesh::Vec3d sum(0, 0, 0);
    double total = 0.0;
    for (VH w : m.vv_range(v)) {
        const double wj = m.property(weight, w);
        sum += m.point(w) * wj;
        total += wj;
    }
    return total > 0.0 ? sum / total : m.point(v);
}

bool Remesher::tangentialRelaxVertex(VH v, bool useAreaWeights, OpenMesh::VPropHandleT<double> weight,
                                     OpenMesh::Vec3d& newPoint) const
{
    if (!isVertexMovable(v)) return false;
    const OpenMesh::Vec3d& p = working.point(v);
    // Stored normals need not be unit length (file normals); without a
    // usable direction the move would not stay in the tangent plane.
    OpenMesh::Vec3d n = working.normal(v);
    const double len = n.norm();
    if (!(len > 0.0) || !std::isfinite(len)) return false;
    n /= len;
    const OpenMesh::Vec3d t = useAreaWeights ? oneRingAreaWeightedCentroid(v, weight) : oneRingCentroid(v);
    const OpenMesh::Vec3d d = t - p;
    newPoint = p + 0.75 * (d - OpenMesh::dot(d, n) * n);
    return true;
}

bool Remesher::tangentialRelaxVertex_parallel(VH v, bool useAreaWeights,
                                              OpenMesh::VPropHandleT<double> weight,
                                              OpenMesh::Vec3d& newPoint) const
{
    return tangentialRelaxVertex(v, useAreaWeights, weight, newPoint);
}

void Remesher::tangentialSmoothing(uint32_t iterations, bool useAreaWeights, const RemeshType*,
                                   TaskStatus*)
{
    HalfedgeMesh& m = working;
    OpenMesh::VPropHandleT<double> weight;
    if (!m.get_property_handle(weight, "vertWeight")) m.add_property(weight, "vertWeight");

    for (uint32_t it = 0; it < iterations; ++it) {
        if (useAreaWeights) {
            for (VH v : m.all_vertices()) m.property(weight, v) = 0.0;
            for (HalfedgeMesh::FaceHandle f : m.faces()) {
                HalfedgeMesh::HalfedgeHandle h0 = m.halfedge_handle(f);
                HalfedgeMesh::HalfedgeHandle h1 = m.next_halfedge_handle(h0);
                HalfedgeMesh::HalfedgeHandle h2 = m.next_halfedge_handle(h1);
                VH a = m.to_vertex_handle(h0), b = m.to_vertex_handle(h1), c = m.to_vertex_handle(h2);
                const double third =
                    OpenMesh::cross(m.point(b) - m.point(a), m.point(c) - m.point(a)).norm() * 0.5 / 3.0;
                m.property(weight, a) += third;
                m.property(weight, b) += third;
                m.property(weight, c) += third;
            }
        }

        if (m.n_vertices() <= RemeshSerialVertexLimit) {
            std::vector<VertexPositionUpdate> updates;
            updates.reserve(m.n_vertices());
            for (VH v : m.vertices()) {
                OpenMesh::Vec3d p;
                if (tangentialRelaxVertex(v, useAreaWeights, weight, p)) updates.push_back({v, p});
            }
            for (const VertexPositionUpdate& u : updates) m.set_point(u.vertex, u.position);
        } else {
            tbb::concurrent_vector<VertexPositionUpdate> updates;
            updates.reserve(m.n_vertices());
            tbb::parallel_for_each(m.vertices_sbegin(), m.vertices_end(), [&](VH v) {
                OpenMesh::Vec3d p;
                if (tangentialRelaxVertex_parallel(v, useAreaWeights, weight, p)) updates.push_back({v, p});
            });
            tbb::parallel_for(tbb::blocked_range<size_t>(0, updates.size()),
                              [&](const tbb::blocked_range<size_t>& r) {
                                  for (size_t i = r.begin(); i != r.end(); ++i) {
                                      m.set_point(updates[i].vertex, updates[i].position);
                                  }
                              });
        }
    }
    m.remove_property(weight);
}

void Remesher::smooth(uint32_t iterations, TaskStatus* status)
{
    const RemeshType uniform = RemeshTypeUniform;
    tangentialSmoothing(iterations, true, &uniform, nullptr);
    if (status) status->progress.store(status->stageEnd.load());
}
