#include "MeshChecks.h"

#include "ParallelLoop.h"
#include "RepeatedWarning.h"

#include <spdlog/spdlog.h>
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>

Edge::Edge(uint32_t a, uint32_t b) : larger(a > b ? a : b), smaller(a > b ? b : a)
{
    if (a == b) throw std::runtime_error("degenerate edge!");
}

size_t EdgeHasher::operator()(const Edge& e) const
{
    return static_cast<size_t>(XXH64(&e, sizeof(Edge), 2017));
}

namespace {

using Range = IndexRange;
constexpr uint32_t Removed = 0xFFFFFFFFu;

// Insertion-ordered list that rejects duplicates; the lists of one split
// hold a handful of entries, so a linear search is the fast one.
struct OrderedSet {
    std::vector<uint32_t> items;
    bool insert(uint32_t v)
    {
        if (std::find(items.begin(), items.end(), v) != items.end()) return false;
        items.push_back(v);
        return true;
    }
};

} // namespace

struct MeshChecker::SplitLists {
    OrderedSet vertices;
    OrderedSet triangles;
    RepeatedWarning& oddEdge;
};

MeshChecker::MeshChecker(std::vector<MeshVertex>&& records, std::vector<uint32_t>&& triangles)
    : vertices(std::move(records)),
      indices(std::move(triangles)),
      triangleCount(static_cast<uint32_t>(indices.size() / 3))
{
    logger = spdlog::get("tamrel_log");
    if (!logger) logger = spdlog::default_logger();
}

void MeshChecker::removeDegenerateFaces()
{
    std::atomic<uint32_t> count{0};
    parallelOver(triangleCount, [&](const Range& r) {
        for (uint32_t t = r.begin(); t != r.end(); ++t) {
            uint32_t* tri = &indices[3 * t];
            if (tri[0] == tri[1] || tri[1] == tri[2] || tri[0] == tri[2]) {
                tri[0] = tri[1] = tri[2] = Removed;
                count.fetch_add(1, std::memory_order_relaxed);
            }
        }
    });
    if (count == 0) return;
    indices.erase(std::remove(indices.begin(), indices.end(), Removed), indices.end());
    triangleCount = static_cast<uint32_t>(indices.size() / 3);
    logger->info("Remove {} degenerate face(s)", count.load());
}

void MeshChecker::buildEdgeMap()
{
    const auto n = static_cast<uint32_t>(vertices.size());
    mapVertexCount = n;
    offsets.assign(static_cast<size_t>(n) + 1, 0);
    const uint32_t edgeEntries = 3 * triangleCount;

    // Count the edges of each larger vertex.
    std::atomic<bool> badIndex{false};
    parallelOver(triangleCount, [&](const Range& r) {
        for (uint32_t t = r.begin(); t != r.end(); ++t) {
            const uint32_t* tri = &indices[3 * t];
            for (int j = 0; j < 3; ++j) {
                const uint32_t a = tri[j], b = tri[(j + 1) % 3];
                if (a >= n || b >= n) {
                    badIndex.store(true, std::memory_order_relaxed);
                    continue;
                }
                std::atomic_ref<uint32_t>(offsets[std::max(a, b) + 1]).fetch_add(1, std::memory_order_relaxed);
            }
        }
    });
    if (badIndex) throw std::runtime_error("@buildEdgeMap: vertex index out of range");
    for (uint32_t v = 0; v < n; ++v) offsets[v + 1] += offsets[v];

    // Fill, then put each vertex's entries in a fixed order: the order in
    // which parallel appends land would change from run to run.
    entries.resize(edgeEntries);
    std::vector<uint32_t> cursor(offsets.begin(), offsets.end() - 1);
    parallelOver(triangleCount, [&](const Range& r) {
        for (uint32_t t = r.begin(); t != r.end(); ++t) {
            const uint32_t* tri = &indices[3 * t];
            for (int j = 0; j < 3; ++j) {
                const Edge e(tri[j], tri[(j + 1) % 3]);
                const uint32_t pos =
                    std::atomic_ref<uint32_t>(cursor[e.larger]).fetch_add(1, std::memory_order_relaxed);
                entries[pos] = {e.smaller, t};
            }
        }
    });
    cursor = std::vector<uint32_t>();

    runInfo.assign(edgeEntries, 0);
    // Vertices with a boundary or complex edge among theirs: the classification
    // below visits only those.
    std::vector<uint8_t> odd(n, 0);
    parallelOver(n, [&](const Range& r) {
        for (uint32_t v = r.begin(); v != r.end(); ++v) {
            const auto first = entries.begin() + offsets[v];
            const auto last = entries.begin() + offsets[v + 1];
            std::sort(first, last, [](const EdgeEntry& x, const EdgeEntry& y) {
                return x.smaller != y.smaller ? x.smaller < y.smaller : x.triangle < y.triangle;
            });
            for (uint32_t i = offsets[v]; i < offsets[v + 1];) {
                uint32_t j = i + 1;
                while (j < offsets[v + 1] && entries[j].smaller == entries[i].smaller) ++j;
                const uint32_t c = j - i;
                runInfo[i] = c | (c > 2 ? ComplexBit : 0);
                if (c != 2) odd[v] = 1;
                i = j;
            }
        }
    });

    // Classify in key order (larger vertex, then smaller).
    complexEdgeKeys.clear();
    boundaryEdgeKeys.clear();
    singleEdges.clear();
    for (uint32_t v = 0; v < n; ++v) {
        if (!odd[v]) continue;
        for (uint32_t i = offsets[v]; i < offsets[v + 1]; ++i) {
            const uint32_t c = runInfo[i] & ~ComplexBit;
            if (c == 0) continue;
            if (c == 1) {
                boundaryEdgeKeys.emplace_back(v, entries[i].smaller);
            } else if (c > 2) {
                complexEdgeKeys.emplace_back(v, entries[i].smaller);
            }
        }
    }
    if (!singleEdges.empty()) {
        logger->critical("Found {} single edges, try fix degenerated faces before check manifold!",
                         singleEdges.size());
    }
}

uint32_t MeshChecker::findEdge(const Edge& edge) const
{
    if (edge.larger >= mapVertexCount) return NotFound;
    const auto first = entries.begin() + offsets[edge.larger];
    const auto last = entries.begin() + offsets[edge.larger + 1];
    const auto it = std::lower_bound(first, last, edge.smaller,
                                     [](const EdgeEntry& e, uint32_t s) { return e.smaller < s; });
    if (it == last || it->smaller != edge.smaller) return NotFound;
    return static_cast<uint32_t>(it - entries.begin());
}

std::vector<uint32_t> MeshChecker::edgeTriangles(const Edge& edge) const
{
    std::vector<uint32_t> out;
    const uint32_t run = findEdge(edge);
    if (run == NotFound) return out;
    for (uint32_t i = 0; i < listLength(run); ++i) out.push_back(entries[run + i].triangle);
    return out;
}

// The first occurrence is overwritten by the last entry and the list shrinks.
bool MeshChecker::removeFaceFromList(uint32_t run, uint32_t face)
{
    const uint32_t len = listLength(run);
    for (uint32_t i = 0; i < len; ++i) {
        if (entries[run + i].triangle == face) {
            entries[run + i].triangle = entries[run + len - 1].triangle;
            runInfo[run] = (len - 1) | (runInfo[run] & ComplexBit);
            return true;
        }
    }
    return false;
}

uint32_t MeshChecker::oppositeVertex(uint32_t face, const Edge& edge) const
{
    for (int j = 0; j < 3; ++j) {
        const uint32_t v = indices[3 * face + j];
        if (v != edge.larger && v != edge.smaller) return v;
    }
    throw std::runtime_error("degenerate triangle!");
}

// Collects the fan around the pivot reachable from the face across manifold
// edges; at another complex edge it detaches the face from that edge too and
// goes on around that edge's other end. A loop rather than recursion: fans
// and chains of complex edges can be long enough to overflow a worker stack.
void MeshChecker::walkEdgeFan(uint32_t face, Edge edge, uint32_t pivot, SplitLists& lists)
{
    for (;;) {
        const uint32_t run = findEdge(edge);
        if (run == NotFound) return;
        if (!isComplex(run)) {
            const uint32_t c = listLength(run);
            if (c == 1) return;
            if (c != 2) {
                lists.oddEdge("Found non-complex edge with {} neighbor faces.", c);
                return;
            }
            const uint32_t other = entries[run].triangle != face ? entries[run].triangle
                                                                 : entries[run + 1].triangle;
            const uint32_t u = oppositeVertex(other, edge);
            if (!lists.triangles.insert(other)) return;
            face = other;
            edge = Edge(pivot, u);
        } else {
            if (!removeFaceFromList(run, face)) return;
            const uint32_t x = edge.larger == pivot ? edge.smaller : edge.larger;
            lists.vertices.insert(x);
            const uint32_t u = oppositeVertex(face, edge);
            edge = Edge(x, u);
            pivot = x;
        }
    }
}

void MeshChecker::checkManifoldness()
{
    if (complexEdgeKeys.empty()) return;
    vertices.reserve(vertices.size() + 4 * complexEdgeKeys.size());

    RepeatedWarning oddEdge(*logger, "Found non-complex edge");
    std::vector<Edge> work(complexEdgeKeys);
    while (!work.empty()) {
        const Edge e = work.back();
        work.pop_back();
        const uint32_t run = findEdge(e);
        if (run == NotFound) continue;
        while (listLength(run) > 2) {
            const uint32_t f = entries[run].triangle;
            removeFaceFromList(run, f);
            SplitLists lists{{}, {}, oddEdge};
            lists.vertices.insert(e.larger);
            lists.vertices.insert(e.smaller);
            lists.triangles.insert(f);
            const uint32_t w = oppositeVertex(f, e);
            walkEdgeFan(f, Edge(e.larger, w), e.larger, lists);
            walkEdgeFan(f, Edge(e.smaller, w), e.smaller, lists);

            std::vector<uint32_t> copies;
            copies.reserve(lists.vertices.items.size());
            for (const uint32_t v : lists.vertices.items) {
                const MeshVertex record = vertices[v];
                copies.push_back(static_cast<uint32_t>(vertices.size()));
                vertices.push_back(record);
            }
            for (const uint32_t t : lists.triangles.items) {
                for (int j = 0; j < 3; ++j) {
                    uint32_t& index = indices[3 * t + j];
                    const auto& vs = lists.vertices.items;
                    const auto it = std::find(vs.begin(), vs.end(), index);
                    if (it != vs.end()) index = copies[it - vs.begin()];
                }
            }
        }
    }
}

std::vector<MeshVertex> MeshChecker::edgeSegments(const std::vector<Edge>& keys) const
{
    std::vector<MeshVertex> out;
    out.reserve(2 * keys.size());
    for (const Edge& e : keys) {
        out.push_back(vertices[e.larger]);
        out.push_back(vertices[e.smaller]);
    }
    return out;
}
