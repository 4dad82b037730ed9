#include "MeshReorder.h"

#include "RemeshParallel.h"

#include <tbb/parallel_reduce.h>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

typedef HalfedgeMesh::VertexHandle VH;
typedef HalfedgeMesh::HalfedgeHandle HH;
typedef HalfedgeMesh::EdgeHandle EH;
typedef HalfedgeMesh::FaceHandle FH;

// Renumbering an element is a few loads and stores: large chunks.
constexpr size_t Grain = 4096;

// Spreads the low 21 bits of x to every third bit.
uint64_t spreadBits(uint64_t x)
{
    x &= 0x1fffff;
    x = (x | x << 32) & 0x1f00000000ffffULL;
    x = (x | x << 16) & 0x1f0000ff0000ffULL;
    x = (x | x << 8) & 0x100f00f00f00f00fULL;
    x = (x | x << 4) & 0x10c30c30c30c30c3ULL;
    x = (x | x << 2) & 0x1249249249249249ULL;
    return x;
}

// Old numbers of the kept elements in new order, and the new number of each
// old one (-1 when dropped). Elements sort by key, equal keys by old number.
template <typename Key, typename KeyOf>
void orderElements(size_t n, const std::vector<char>& keep, KeyOf keyOf, std::vector<uint32_t>& order,
                   std::vector<int>& renumber)
{
    std::vector<std::pair<Key, uint32_t>> sorted;
    sorted.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        if (keep[i]) sorted.emplace_back(Key{}, static_cast<uint32_t>(i));
    }
    parallelIndices(sorted.size(), Grain, [&](size_t i) { sorted[i].first = keyOf(sorted[i].second); });
    parallelSort(sorted.begin(), sorted.end());
    order.resize(sorted.size());
    renumber.assign(n, -1);
    parallelIndices(sorted.size(), Grain, [&](size_t i) {
        order[i] = sorted[i].second;
        renumber[sorted[i].second] = static_cast<int>(i);
    });
}

// The same for elements whose key starts with a vertex number below
// bucketCount: a counting sort by that vertex, then a sort of each (small)
// bucket by the whole key.
template <typename Key, typename KeyOf>
void orderByVertex(size_t n, const std::vector<char>& keep, size_t bucketCount, KeyOf keyOf,
                   std::vector<uint32_t>& order, std::vector<int>& renumber)
{
    std::vector<std::atomic<uint32_t>> start(bucketCount + 1); // zero
    std::vector<Key> keys(n);
    parallelIndices(n, Grain, [&](size_t i) {
        if (!keep[i]) return;
        keys[i] = keyOf(static_cast<uint32_t>(i));
        start[keys[i][0] + 1].fetch_add(1, std::memory_order_relaxed);
    });
    uint32_t sum = 0;
    for (size_t b = 0; b <= bucketCount; ++b) {
        sum += start[b].load(std::memory_order_relaxed);
        start[b].store(sum, std::memory_order_relaxed);
    }
    // start[b] now holds the start of bucket b; each slot taken moves it on,
    // so afterwards it holds the bucket's end.
    order.assign(sum, 0);
    parallelIndices(n, Grain, [&](size_t i) {
        if (keep[i]) order[start[keys[i][0]].fetch_add(1, std::memory_order_relaxed)] = static_cast<uint32_t>(i);
    });
    // Slots were taken in any order: sort each bucket by key, then old number.
    parallelIndices(bucketCount, Grain, [&](size_t b) {
        const uint32_t begin = b > 0 ? start[b - 1].load(std::memory_order_relaxed) : 0;
        std::sort(order.begin() + begin, order.begin() + start[b].load(std::memory_order_relaxed),
                  [&](uint32_t x, uint32_t y) { return keys[x] < keys[y] || (keys[x] == keys[y] && x < y); });
    });
    renumber.assign(n, -1);
    parallelIndices(order.size(), Grain, [&](size_t i) { renumber[order[i]] = static_cast<int>(i); });
}

template <typename T>
bool gatherAs(OpenMesh::BaseProperty* p, const std::vector<uint32_t>& order)
{
    auto* typed = dynamic_cast<OpenMesh::PropertyT<T>*>(p);
    if (!typed) return false;
    auto& data = typed->data_vector();
    std::vector<T> moved(order.size());
    parallelIndices(order.size(), Grain, [&](size_t i) { moved[i] = data[order[i]]; });
    data.swap(moved);
    return true;
}

// Element order[i] of the property moves to i; the property shrinks to order.size().
void gatherProperty(OpenMesh::BaseProperty* p, const std::vector<uint32_t>& order)
{
    if (!p) return;
    if (gatherAs<OpenMesh::Vec3d>(p, order) || gatherAs<double>(p, order) || gatherAs<int32_t>(p, order) ||
        gatherAs<OpenMesh::Attributes::StatusInfo>(p, order) || gatherAs<OpenMesh::Vec3f>(p, order) ||
        gatherAs<float>(p, order) || gatherAs<uint32_t>(p, order) || gatherAs<HalfedgeMesh::VertexData>(p, order) ||
        gatherAs<HalfedgeMesh::HalfedgeData>(p, order) || gatherAs<HalfedgeMesh::EdgeData>(p, order) ||
        gatherAs<HalfedgeMesh::FaceData>(p, order)) {
        return;
    }
    // Any other type: move each kept element forward along the permutation's
    // cycles with swaps (order is increasing in no particular way, so follow
    // where every target slot's element currently sits).
    std::vector<uint32_t> where(p->n_elements()), at(p->n_elements());
    for (size_t i = 0; i < where.size(); ++i) where[i] = at[i] = static_cast<uint32_t>(i);
    for (size_t i = 0; i < order.size(); ++i) {
        const uint32_t from = where[order[i]];
        if (from == i) continue;
        p->swap(i, from);
        const uint32_t displaced = at[i];
        where[displaced] = from, at[from] = displaced;
        where[order[i]] = static_cast<uint32_t>(i), at[i] = order[i];
    }
    p->resize(order.size());
}

} // namespace

void compactInLocalityOrder(HalfedgeMesh& mesh)
{
    const size_t nv = mesh.n_vertices(), ne = mesh.n_edges(), nf = mesh.n_faces();
    std::vector<char> keep(std::max({nv, ne, nf}));

    // Vertices: Morton order of their positions in the bounding box of the kept ones.
    parallelIndices(nv, Grain, [&](size_t i) { keep[i] = !mesh.status(VH(static_cast<int>(i))).deleted(); });
    typedef std::pair<OpenMesh::Vec3d, OpenMesh::Vec3d> Box;
    const double inf = HUGE_VAL;
    const Box box = tbb::parallel_reduce(
        tbb::blocked_range<size_t>(0, nv, 8192), Box(OpenMesh::Vec3d(inf, inf, inf), OpenMesh::Vec3d(-inf, -inf, -inf)),
        [&](const tbb::blocked_range<size_t>& r, Box b) {
            FloatModeScope mode;
            for (size_t i = r.begin(); i != r.end(); ++i) {
                if (!keep[i]) continue;
                const OpenMesh::Vec3d& p = mesh.point(VH(static_cast<int>(i)));
                if (!std::isfinite(p.sqrnorm())) continue;
                b.first.minimize(p);
                b.second.maximize(p);
            }
            return b;
        },
        [](Box a, const Box& b) {
            a.first.minimize(b.first);
            a.second.maximize(b.second);
            return a;
        });
    throwIfCancelled();
    const double extent = (box.second - box.first).max();
    const double scale = extent > 0.0 && std::isfinite(extent) ? 2097151.0 / extent : 0.0;
    std::vector<uint32_t> vOrder, eOrder, fOrder;
    std::vector<int> vNew, eNew, fNew;
    orderElements<uint64_t>(nv, keep, [&](uint32_t i) {
        const OpenMesh::Vec3d q = (mesh.point(VH(static_cast<int>(i))) - box.first) * scale;
        uint64_t code = 0;
        for (int c = 0; c < 3; ++c) {
            const double x = std::isfinite(q[c]) ? std::clamp(q[c], 0.0, 2097151.0) : 0.0;
            code |= spreadBits(static_cast<uint64_t>(x)) << c;
        }
        return code;
    }, vOrder, vNew);

    // Edges and faces: by their corners' new numbers, lowest first.
    parallelIndices(ne, Grain, [&](size_t i) { keep[i] = !mesh.status(EH(static_cast<int>(i))).deleted(); });
    const size_t mv = vOrder.size();
    orderByVertex<std::array<uint32_t, 2>>(ne, keep, mv, [&](uint32_t i) {
        const HH h = mesh.halfedge_handle(EH(static_cast<int>(i)), 0);
        const uint32_t a = static_cast<uint32_t>(vNew[mesh.to_vertex_handle(h).idx()]);
        const uint32_t b = static_cast<uint32_t>(vNew[mesh.from_vertex_handle(h).idx()]);
        return std::array<uint32_t, 2>{std::min(a, b), std::max(a, b)};
    }, eOrder, eNew);

    parallelIndices(nf, Grain, [&](size_t i) { keep[i] = !mesh.status(FH(static_cast<int>(i))).deleted(); });
    orderByVertex<std::array<uint32_t, 3>>(nf, keep, mv, [&](uint32_t i) {
        const HH h = mesh.halfedge_handle(FH(static_cast<int>(i)));
        std::array<uint32_t, 3> c = {static_cast<uint32_t>(vNew[mesh.to_vertex_handle(h).idx()]),
                                     static_cast<uint32_t>(vNew[mesh.from_vertex_handle(h).idx()]),
                                     static_cast<uint32_t>(vNew[mesh.to_vertex_handle(mesh.next_halfedge_handle(h)).idx()])};
        std::sort(c.begin(), c.end());
        return c;
    }, fOrder, fNew);
    std::vector<char>().swap(keep);

    auto newHalfedge = [&](HH h) { return h.is_valid() ? 2 * eNew[h.idx() >> 1] + (h.idx() & 1) : -1; };
    auto oldHalfedge = [&](size_t i) { return HH(static_cast<int>(2 * eOrder[i >> 1] + (i & 1))); };

    const size_t me = eOrder.size(), mf = fOrder.size(), mh = 2 * me;
    for (auto it = mesh.vprops_begin(); it != mesh.vprops_end(); ++it) gatherProperty(*it, vOrder);
    for (auto it = mesh.eprops_begin(); it != mesh.eprops_end(); ++it) gatherProperty(*it, eOrder);
    for (auto it = mesh.fprops_begin(); it != mesh.fprops_end(); ++it) gatherProperty(*it, fOrder);
    if (mesh.hprops_begin() != mesh.hprops_end()) {
        std::vector<uint32_t> hOrder(mh);
        parallelIndices(mh, Grain, [&](size_t i) { hOrder[i] = static_cast<uint32_t>(oldHalfedge(i).idx()); });
        for (auto it = mesh.hprops_begin(); it != mesh.hprops_end(); ++it) gatherProperty(*it, hOrder);
    }

    // The links one kind at a time: all of a kind are read under the new
    // numbers before any of that kind is overwritten, and no kind is read
    // after its own rewrite. One scratch array at a time keeps the memory low.
    std::vector<int> links(std::max({mv, mf, mh}));
    parallelIndices(mv, Grain, [&](size_t i) {
        links[i] = newHalfedge(mesh.halfedge_handle(VH(static_cast<int>(vOrder[i]))));
    });
    parallelIndices(mv, Grain, [&](size_t i) { mesh.set_halfedge_handle(VH(static_cast<int>(i)), HH(links[i])); });
    parallelIndices(mf, Grain, [&](size_t i) {
        links[i] = newHalfedge(mesh.halfedge_handle(FH(static_cast<int>(fOrder[i]))));
    });
    parallelIndices(mf, Grain, [&](size_t i) { mesh.set_halfedge_handle(FH(static_cast<int>(i)), HH(links[i])); });
    parallelIndices(mh, Grain, [&](size_t i) { links[i] = vNew[mesh.to_vertex_handle(oldHalfedge(i)).idx()]; });
    parallelIndices(mh, Grain, [&](size_t i) { mesh.set_vertex_handle(HH(static_cast<int>(i)), VH(links[i])); });
    parallelIndices(mh, Grain, [&](size_t i) {
        const FH f = mesh.face_handle(oldHalfedge(i));
        links[i] = f.is_valid() ? fNew[f.idx()] : -1;
    });
    parallelIndices(mh, Grain, [&](size_t i) { mesh.set_face_handle(HH(static_cast<int>(i)), FH(links[i])); });
    parallelIndices(mh, Grain, [&](size_t i) { links[i] = newHalfedge(mesh.next_halfedge_handle(oldHalfedge(i))); });
    // Each halfedge sets its own successor and the back link of that
    // successor, which no other halfedge sets.
    parallelIndices(mh, Grain, [&](size_t i) { mesh.set_next_halfedge_handle(HH(static_cast<int>(i)), HH(links[i])); });
    mesh.resize(mv, me, mf);
    // The scratch arrays and the old property arrays are free now; give
    // the pages back rather than let the next round's peak stack on them.
    malloc_trim(0);
}
