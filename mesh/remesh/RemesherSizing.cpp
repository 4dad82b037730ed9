#include "Histogram.h"
#include "MeshConversion.h"
#include "Remesher.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iostream>

typedef HalfedgeMesh::VertexHandle VH;

Histogram::Histogram(double lo, double hi, uint64_t bins)
    : min(lo), max(hi), binCount(bins), binWidth((hi - lo) / static_cast<double>(bins)),
      counts(bins, 0)
{}

void Histogram::add(double value)
{
    if (!std::isfinite(value)) return;
    if (value < min) {
        ++below;
        return;
    }
    if (value > max) {
        ++above;
        return;
    }
    // All values equal (zero width) land in the first bin; the largest value
    // would index one past the end and belongs to the last bin.
    uint64_t bin = 0;
    if (binWidth > 0.0) {
        const double pos = std::trunc((value - min) / binWidth);
        bin = pos <= 0.0 ? 0 : static_cast<uint64_t>(std::min(pos, static_cast<double>(binCount - 1)));
    }
    ++counts[bin];
    ++inRange;
}

double Histogram::quantile(double q) const
{
    if (q <= 0.0) return min;
    if (q >= 1.0) return max;
    if (inRange == 0 || !(binWidth > 0.0)) return min;
    if (q <= 0.5) {
        const uint64_t k = static_cast<uint64_t>(std::ceil(q * static_cast<double>(inRange)));
        uint64_t c = 0;
        for (uint64_t b = 0; b < binCount; ++b) {
            c += counts[b];
            if (c >= k && counts[b] > 0) {
                return min + static_cast<double>(b + 1) * binWidth -
                       static_cast<double>(c - k) / static_cast<double>(counts[b]) * binWidth;
            }
        }
        return max;
    }
    const uint64_t k = static_cast<uint64_t>(std::ceil((1.0 - q) * static_cast<double>(inRange)));
    uint64_t c = 0;
    for (uint64_t b = binCount; b-- > 0;) {
        c += counts[b];
        if (c >= k && counts[b] > 0) {
            return min + static_cast<double>(b) * binWidth +
                   static_cast<double>(c - k) / static_cast<double>(counts[b]) * binWidth;
        }
    }
    return min;
}

namespace {

double rmsFrom(double h, double k)
{
    return std::sqrt(std::max(0.0, 4.0 * h * h - 2.0 * k));
}

} // namespace

void Remesher::computeCurvatures()
{
    HalfedgeMesh& m = working;
    const double pi = std::acos(-1.0);
    for (VH v : m.vertices()) {
        m.property(voronoiArea, v) = 0.0;
        m.property(meanCurvature, v) = 0.0;
        m.property(meanCurvatureNormal, v) = OpenMesh::Vec3d(0, 0, 0);
        m.property(gaussCurvature, v) = 2.0 * pi;
    }
    for (HalfedgeMesh::EdgeHandle e : m.all_edges()) m.property(edgeCotWeight, e) = 0.0;

    for (HalfedgeMesh::FaceHandle f : m.faces()) {
        HalfedgeMesh::HalfedgeHandle h[3];
        h[0] = m.halfedge_handle(f);
        h[1] = m.next_halfedge_handle(h[0]);
        h[2] = m.next_halfedge_handle(h[1]);
        VH vv[3] = {m.to_vertex_handle(h[0]), m.to_vertex_handle(h[1]), m.to_vertex_handle(h[2])};
        OpenMesh::Vec3d p[3] = {m.point(vv[0]), m.point(vv[1]), m.point(vv[2])};
        const double crossLen = OpenMesh::cross(p[1] - p[0], p[2] - p[0]).norm();
        const double area = 0.5 * crossLen;
        if (!(area > DBL_EPSILON)) {
            std::printf("Warning: degenerate triangle (zero-area) detected!\n");
            continue;
        }
        double d[3], cot[3];
        for (int i = 0; i < 3; ++i) {
            const OpenMesh::Vec3d e1 = p[(i + 1) % 3] - p[i];
            const OpenMesh::Vec3d e2 = p[(i + 2) % 3] - p[i];
            d[i] = OpenMesh::dot(e1, e2);
            cot[i] = d[i] / (2.0 * area);
        }
        if (d[0] > 0.0 && d[1] > 0.0 && d[2] > 0.0) {
            for (int i = 0; i < 3; ++i) {
                const int j = (i + 1) % 3, k = (i + 2) % 3;
                // Edge i-k lies opposite corner j, edge i-j opposite corner k.
                m.property(voronoiArea, vv[i]) +=
                    0.125 * ((p[k] - p[i]).sqrnorm() * cot[j] + (p[j] - p[i]).sqrnorm() * cot[k]);
            }
        } else {
            int obtuse = d[0] <= 0.0 ? 0 : (d[1] <= 0.0 ? 1 : 2);
            for (int i = 0; i < 3; ++i) m.property(voronoiArea, vv[i]) += area * (i == obtuse ? 0.5 : 0.25);
        }
        // h[0] joins corners 2 and 0, h[1] corners 0 and 1, h[2] corners 1 and 2.
        m.property(edgeCotWeight, m.edge_handle(h[0])) += cot[1];
        m.property(edgeCotWeight, m.edge_handle(h[1])) += cot[2];
        m.property(edgeCotWeight, m.edge_handle(h[2])) += cot[0];
        for (int i = 0; i < 3; ++i) m.property(gaussCurvature, vv[i]) -= std::atan2(crossLen, d[i]);
    }

    for (HalfedgeMesh::EdgeHandle e : m.edges()) {
        HalfedgeMesh::HalfedgeHandle h0 = m.halfedge_handle(e, 0);
        VH a = m.from_vertex_handle(h0), b = m.to_vertex_handle(h0);
        const OpenMesh::Vec3d delta = (m.point(a) - m.point(b)) * m.property(edgeCotWeight, e);
        m.property(meanCurvatureNormal, a) += delta;
        m.property(meanCurvatureNormal, b) -= delta;
    }

    for (VH v : m.vertices()) {
        const double a = m.property(voronoiArea, v);
        double acc = m.property(gaussCurvature, v);
        if (m.is_boundary(v)) acc -= pi;
        const double k = acc / a;
        const OpenMesh::Vec3d& hn = m.property(meanCurvatureNormal, v);
        const double side = OpenMesh::dot(hn, m.normal(v));
        const double s = side > 0.0 ? 1.0 : (side < 0.0 ? -1.0 : 0.0);
        const double h = s * 0.25 * hn.norm() / a;
        m.property(gaussCurvature, v) = k;
        m.property(meanCurvature, v) = h;
        m.property(rmsCurvature, v) = rmsFrom(h, k);
    }

    // Boundary curvature is unreliable: borrow it from interior neighbours.
    std::vector<VH> listed;
    for (VH v : m.vertices()) {
        if (!m.is_boundary(v)) continue;
        double sh = 0.0, sk = 0.0;
        int count = 0;
        for (VH w : m.vv_range(v)) {
            if (m.is_boundary(w)) continue;
            sh += m.property(meanCurvature, w);
            sk += m.property(gaussCurvature, w);
            ++count;
        }
        if (count == 0) {
            listed.push_back(v);
            continue;
        }
        m.property(meanCurvature, v) = sh / count;
        m.property(gaussCurvature, v) = sk / count;
        m.property(rmsCurvature, v) = rmsFrom(sh / count, sk / count);
    }
    for (VH v : listed) {
        double sh = 0.0, sk = 0.0;
        int count = 0;
        for (VH w : m.vv_range(v)) {
            sh += m.property(meanCurvature, w);
            sk += m.property(gaussCurvature, w);
            ++count;
        }
        if (count == 0) continue;
        m.property(meanCurvature, v) = sh / count;
        m.property(gaussCurvature, v) = sk / count;
        m.property(rmsCurvature, v) = rmsFrom(sh / count, sk / count);
    }
}

void Remesher::computeAdaptiveSizing(uint64_t requestedCount, double ratio)
{
    HalfedgeMesh& m = working;
    sizeRatio = std::clamp(ratio, 1.0, 10.0);
    if (std::isnan(ratio)) sizeRatio = 1.0;
    computeCurvatures();

    double lo = 0.0, hi = 0.0;
    bool any = false;
    for (VH v : m.vertices()) {
        const double r = m.property(rmsCurvature, v);
        if (!std::isfinite(r)) continue;
        lo = any ? std::min(lo, r) : r;
        hi = any ? std::max(hi, r) : r;
        any = true;
    }
    std::cout << "min rms curv : " << lo << "| max rms curv : " << hi << std::endl;

    Histogram histogram(lo, hi, 200);
    for (VH v : m.vertices()) histogram.add(m.property(rmsCurvature, v));
    const double q10 = histogram.quantile(0.1);
    const double q90 = histogram.quantile(0.9);
    std::cout << "10% trimmed min rms curv : " << q10 << "| 90% trimmed max rms curv : " << q90
              << std::endl;

    // Vertices without area have no curvature: take their finite neighbours'
    // mean, or treat them as flat.
    for (VH v : m.vertices()) {
        double& r = m.property(rmsCurvature, v);
        if (std::isfinite(r)) continue;
        double sum = 0.0;
        int count = 0;
        for (VH w : m.vv_range(v)) {
            const double rw = m.property(rmsCurvature, w);
            if (std::isfinite(rw)) {
                sum += rw;
                ++count;
            }
        }
        r = count > 0 ? sum / count : q10;
    }

    for (VH v : m.vertices()) {
        m.property(adaptiveSizing, v) = q90 - std::clamp(m.property(rmsCurvature, v), q10, q90);
    }
    smoothSizingOneRing(3, 0.1f);

    double smin = 0.0, smax = 0.0;
    any = false;
    for (VH v : m.vertices()) {
        const double s = m.property(adaptiveSizing, v);
        smin = any ? std::min(smin, s) : s;
        smax = any ? std::max(smax, s) : s;
        any = true;
    }
    std::cout << "smoothed min rms curv sz : " << smin << "| smoothed max rms curv sz : " << smax
              << std::endl;

    for (VH v : m.vertices()) {
        double& s = m.property(adaptiveSizing, v);
        if (s <= smin)
            s = 1.0;
        else if (s >= smax)
            s = sizeRatio;
        else
            s = 1.0 + (s - smin) / (smax - smin) * (sizeRatio - 1.0);
    }

    auto integrated = [&]() {
        double t = 0.0;
        for (VH v : m.vertices()) {
            const double s = m.property(adaptiveSizing, v);
            t += m.property(voronoiArea, v) / (s * s * 0.433);
        }
        return t;
    };
    const double t = integrated();
    std::printf("Initial integrated triangle number : %f | Requsted triangle number : %llu\n", t,
                static_cast<unsigned long long>(requestedCount));
    double scale = std::sqrt(t / static_cast<double>(requestedCount));
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        // No usable Voronoi areas: fall back to the uniform length.
        scale = std::sqrt(area / static_cast<double>(requestedCount) * 2.31);
        for (VH v : m.vertices()) m.property(adaptiveSizing, v) = 1.0;
    }
    std::printf("scale factor : %f\n", scale);
    for (VH v : m.vertices()) m.property(adaptiveSizing, v) *= scale;

    const size_t refCount = reference ? reference->n_vertices() : 0;
    refSizing.assign(refCount, 0.0);
    for (size_t i = 0; i < refCount && i < m.n_vertices(); ++i) {
        refSizing[i] = m.property(adaptiveSizing, VH(static_cast<int>(i)));
    }
    std::printf("Scaled integrated triangle number : %f | Requsted triangle number : %llu\n",
                integrated(), static_cast<unsigned long long>(requestedCount));
}

void Remesher::smoothSizingOneRing(int32_t rounds, float weight)
{
    HalfedgeMesh& m = working;
    for (int32_t r = 0; r < rounds; ++r) {
        for (VH v : m.vertices()) {
            float sum = 0.0f;
            int count = 0;
            for (VH w : m.vv_range(v)) {
                sum += static_cast<float>(m.property(adaptiveSizing, w));
                ++count;
            }
            const float wm = weight * static_cast<float>(count);
            double& s = m.property(adaptiveSizing, v);
            s = (s + static_cast<double>(weight * sum)) / (1.0 + static_cast<double>(wm));
        }
    }
}

void Remesher::smoothSizingField(int32_t rounds, float weight)
{
    HalfedgeMesh& m = working;
    for (int32_t r = 0; r < rounds; ++r) {
        for (HalfedgeMesh::FaceHandle f : m.faces()) {
            float sum = 0.0f;
            for (VH v : m.fv_range(f)) sum += static_cast<float>(m.property(adaptiveSizing, v));
            const double mu = static_cast<double>(sum / 3.0f);
            for (VH v : m.fv_range(f)) {
                double& s = m.property(adaptiveSizing, v);
                s = (1.0 - weight) * s + mu * weight;
            }
        }
    }
}
