#include "RemeshQuality.h"

#include <algorithm>
#include <cmath>

RemeshQuality measureQuality(const HalfedgeMesh& mesh, double targetLength)
{
    RemeshQuality q;
    size_t angles = 0, below = 0;
    const double toDeg = 180.0 / std::acos(-1.0);
    for (auto f : mesh.faces()) {
        OpenMesh::Vec3d p[3];
        int i = 0;
        for (auto v : mesh.fv_range(f)) p[i++] = mesh.point(v);
        for (int k = 0; k < 3; ++k) {
            OpenMesh::Vec3d a = p[(k + 1) % 3] - p[k], b = p[(k + 2) % 3] - p[k];
            double c = OpenMesh::dot(a, b) / (a.norm() * b.norm());
            double deg = std::acos(std::clamp(c, -1.0, 1.0)) * toDeg;
            if (!std::isfinite(c)) q.finite = false;
            q.minAngleDeg = std::min(q.minAngleDeg, deg);
            q.maxAngleDeg = std::max(q.maxAngleDeg, deg);
            below += deg < 30.0;
            ++angles;
        }
    }
    size_t interior = 0, six = 0;
    for (auto v : mesh.vertices()) {
        if (!std::isfinite(mesh.point(v).sqrnorm())) q.finite = false;
        if (mesh.is_boundary(v)) continue;
        ++interior;
        six += mesh.valence(v) == 6;
    }
    size_t edges = 0, ok = 0;
    for (auto e : mesh.edges()) {
        double l = mesh.calc_edge_length(e) / targetLength;
        ok += l >= 0.8 && l <= 4.0 / 3.0;
        ++edges;
        q.boundaryEdges += mesh.is_boundary(e);
    }
    q.shareBelow30 = angles ? double(below) / angles : 0.0;
    q.shareValence6 = interior ? double(six) / interior : 0.0;
    q.shareLengthOk = edges ? double(ok) / edges : 0.0;
    return q;
}
