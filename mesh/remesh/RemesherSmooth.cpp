#include "Remesher.h"

#include "RemeshParallel.h"
#include "TaskStatus.h"

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
    const HalfedgeMesh& m = working;
    const HalfedgeMesh::HalfedgeHandle h = m.halfedge_handle(v);
    if (!h.is_valid() || !m.face_handle(h).is_valid()) return false;
    // One walk round the vertex both tests the feature edges and gathers
    // the centroid, in the same order as isVertexMovable and the centroids.
    OpenMesh::Vec3d sum(0, 0, 0);
    double total = 0.0;
    int count = 0;
    for (HalfedgeMesh::HalfedgeHandle g : m.voh_range(v)) {
        if (m.status(m.edge_handle(g)).feature()) return false;
        const OpenMesh::Vec3d& q = m.point(m.to_vertex_handle(g));
        if (useAreaWeights) {
            const double wj = m.property(weight, m.to_vertex_handle(g));
            sum += q * wj;
            total += wj;
        } else {
            sum += q;
        }
        ++count;
    }
    const OpenMesh::Vec3d& p = m.point(v);
    // Stored normals need not be unit length (file normals); without a
    // usable direction the move would not stay in the tangent plane.
    OpenMesh::Vec3d n = m.normal(v);
    const double len = n.norm();
    if (!(len > 0.0) || !std::isfinite(len)) return false;
    n /= len;
    OpenMesh::Vec3d t = p;
    if (useAreaWeights) {
        if (total > 0.0) t = sum / total;
    } else if (count > 0) {
        t = sum / count;
    }
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
            // One slot per vertex: every slot is written by one thread only,
            // and the write-back goes in vertex order as on the serial path.
            const size_t n = m.n_vertices();
            std::vector<OpenMesh::Vec3d> positions(n);
            std::vector<char> moved(n, 0);
            parallelChunks(n, 1024, [&](const tbb::blocked_range<size_t>& r) {
                for (size_t i = r.begin(); i != r.end(); ++i) {
                    const VH v(static_cast<int>(i));
                    if (m.status(v).deleted()) continue;
                    moved[i] = tangentialRelaxVertex_parallel(v, useAreaWeights, weight, positions[i]);
                }
            });
            parallelChunks(n, 4096, [&](const tbb::blocked_range<size_t>& r) {
                for (size_t i = r.begin(); i != r.end(); ++i) {
                    if (moved[i]) m.set_point(VH(static_cast<int>(i)), positions[i]);
                }
            });
        }
    }
    m.remove_property(weight);
}

void Remesher::smooth(uint32_t iterations, TaskStatus* status)
{
    FloatModeScope mode;
    const RemeshType uniform = RemeshTypeUniform;
    tangentialSmoothing(iterations, true, &uniform, nullptr);
    progress::reachStageEnd(status);
}
