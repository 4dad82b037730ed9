#include "MeshConversion.h"

#include <spdlog/spdlog.h>

#include <stdexcept>

namespace {

void logWarning(const std::string& text)
{
    if (auto logger = spdlog::get("tamrel_log")) logger->warn("{}", text);
}

// Corners of a face in its halfedge order; throws for a broken face.
void faceCorners(const HalfedgeMesh& mesh, HalfedgeMesh::FaceHandle f, int idx[3])
{
    HalfedgeMesh::HalfedgeHandle h = mesh.halfedge_handle(f);
    HalfedgeMesh::HalfedgeHandle h1 = mesh.next_halfedge_handle(h);
    HalfedgeMesh::HalfedgeHandle h2 = mesh.next_halfedge_handle(h1);
    idx[0] = mesh.to_vertex_handle(h).idx();
    idx[1] = mesh.to_vertex_handle(h1).idx();
    idx[2] = mesh.to_vertex_handle(h2).idx();
    if (idx[0] < 0 || idx[1] < 0 || idx[2] < 0) {
        throw std::runtime_error("halfedge mesh data contains invalid vertex.");
    }
}

// True when a face on the corners a, b and c (either orientation) exists.
bool sameTriangleExists(const HalfedgeMesh& mesh, HalfedgeMesh::VertexHandle a, HalfedgeMesh::VertexHandle b,
                        HalfedgeMesh::VertexHandle c)
{
    for (HalfedgeMesh::HalfedgeHandle h : {mesh.find_halfedge(a, b), mesh.find_halfedge(b, a)}) {
        if (!h.is_valid() || !mesh.face_handle(h).is_valid()) continue;
        if (mesh.to_vertex_handle(mesh.next_halfedge_handle(h)) == c) return true;
    }
    return false;
}

} // namespace

HalfedgeMesh buildHalfedgeMesh(const std::vector<MeshVertex>& records,
                               const std::vector<uint32_t>& indices)
{
    HalfedgeMesh mesh;
    mesh.request_vertex_status();
    mesh.request_edge_status();
    mesh.request_face_status();
    mesh.request_vertex_normals();

    std::vector<HalfedgeMesh::VertexHandle> handles;
    handles.reserve(records.size());
    for (const MeshVertex& r : records) {
        HalfedgeMesh::VertexHandle vh =
            mesh.add_vertex(HalfedgeMesh::Point(r.position[0], r.position[1], r.position[2]));
        mesh.set_normal(vh, HalfedgeMesh::Normal(r.normal[0], r.normal[1], r.normal[2]));
        handles.push_back(vh);
    }

    const size_t recordCount = records.size();
    const size_t faceCount = indices.empty() ? recordCount / 3 : indices.size() / 3;
    size_t skipped = 0;
    size_t detached = 0;
    for (size_t k = 0; k < faceCount; ++k) {
        size_t i[3];
        for (int c = 0; c < 3; ++c) i[c] = indices.empty() ? 3 * k + c : indices[3 * k + c];
        // The kernel aborts on a triple with a repeated vertex.
        if (i[0] >= recordCount || i[1] >= recordCount || i[2] >= recordCount || i[0] == i[1] ||
            i[1] == i[2] || i[0] == i[2]) {
            ++skipped;
            continue;
        }
        HalfedgeMesh::FaceHandle f = mesh.add_face(handles[i[0]], handles[i[1]], handles[i[2]]);
        if (f.is_valid()) continue;
        if (sameTriangleExists(mesh, handles[i[0]], handles[i[1]], handles[i[2]])) {
            ++skipped;
            continue;
        }
        // Refused at a complex edge or vertex: keep the triangle as its own sheet.
        HalfedgeMesh::VertexHandle copies[3];
        for (int c = 0; c < 3; ++c) {
            copies[c] = mesh.add_vertex(mesh.point(handles[i[c]]));
            mesh.set_normal(copies[c], mesh.normal(handles[i[c]]));
        }
        mesh.add_face(copies[0], copies[1], copies[2]);
        ++detached;
    }
    if (skipped > 0) {
        logWarning(std::to_string(skipped) +
                   " repeated triangle(s) or triangle(s) with a repeated or invalid vertex index were left out");
    }
    if (detached > 0) {
        logWarning(std::to_string(detached) +
                   " non-manifold triangle(s) were kept on their own vertices");
    }
    return mesh;
}

void extractVertexRecords(const HalfedgeMesh& mesh, std::vector<MeshVertex>& records,
                          std::vector<uint32_t>& indices, const float* color)
{
    records.clear();
    indices.clear();
    records.reserve(mesh.n_vertices());
    indices.reserve(3 * mesh.n_faces());
    const bool hasNormals = mesh.has_vertex_normals();
    for (HalfedgeMesh::VertexHandle vh : mesh.all_vertices()) {
        const HalfedgeMesh::Point& p = mesh.point(vh);
        MeshVertex r{};
        for (int c = 0; c < 3; ++c) {
            r.position[c] = static_cast<float>(p[c]);
            r.normal[c] = hasNormals ? static_cast<float>(mesh.normal(vh)[c]) : 0.0f;
            r.color[c] = color[c];
        }
        records.push_back(r);
    }
    for (HalfedgeMesh::FaceHandle fh : mesh.all_faces()) {
        int idx[3];
        faceCorners(mesh, fh, idx);
        for (int c = 0; c < 3; ++c) indices.push_back(static_cast<uint32_t>(idx[c]));
    }
}

void flattenForRefSurface(const HalfedgeMesh& mesh, std::vector<RefVertex>& vertices,
                          std::vector<RefTriangle>& triangles)
{
    vertices.clear();
    triangles.clear();
    vertices.reserve(mesh.n_vertices());
    for (HalfedgeMesh::VertexHandle vh : mesh.all_vertices()) {
        const HalfedgeMesh::Point& p = mesh.point(vh);
        vertices.push_back(
            {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]), 0.0f});
    }
    triangles.reserve(mesh.n_faces());
    for (HalfedgeMesh::FaceHandle fh : mesh.all_faces()) {
        int idx[3];
        faceCorners(mesh, fh, idx);
        triangles.push_back({static_cast<uint32_t>(idx[0]), static_cast<uint32_t>(idx[1]),
                             static_cast<uint32_t>(idx[2])});
    }
}

double computeSurfaceArea(const HalfedgeMesh& mesh)
{
    double area = 0.0;
    for (HalfedgeMesh::FaceHandle fh : mesh.all_faces()) {
        HalfedgeMesh::HalfedgeHandle h = mesh.halfedge_handle(fh);
        HalfedgeMesh::HalfedgeHandle h1 = mesh.next_halfedge_handle(h);
        const HalfedgeMesh::Point& p0 = mesh.point(mesh.to_vertex_handle(h));
        const HalfedgeMesh::Point& p1 = mesh.point(mesh.to_vertex_handle(h1));
        const HalfedgeMesh::Point& p2 = mesh.point(mesh.to_vertex_handle(mesh.next_halfedge_handle(h1)));
        area += 0.5 * OpenMesh::cross(p1 - p0, p2 - p0).norm();
    }
    return area;
}

uint64_t removeIsolatedVertices(HalfedgeMesh& mesh)
{
    uint64_t count = 0;
    for (HalfedgeMesh::VertexHandle vh : mesh.vertices()) {
        if (mesh.is_isolated(vh)) {
            mesh.delete_vertex(vh, false);
            ++count;
        }
    }
    if (count > 0) mesh.garbage_collection(true, true, true);
    return count;
}
