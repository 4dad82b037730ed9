// Merging records that share a position, in parallel.
//
// The merge map is an open-addressing table of atomic slots, each holding
// (record number + 1) of the first record of its position in input order.
// Numbering by first occurrence makes the merged mesh, record order
// included, the same on every run whatever the thread timing.

#include "MeshKeys.h"
#include "ParallelLoop.h"
#include "TriMesh.h"

#include "Timer.h"

#include <tbb/parallel_reduce.h>
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>
#include <stdexcept>

size_t VertexHasher::operator()(const MeshVertex& v) const
{
    // Adding +0.0 turns -0.0 into +0.0 and leaves every other value alone.
    const float key[3] = {v.position[0] + 0.0f, v.position[1] + 0.0f, v.position[2] + 0.0f};
    return static_cast<size_t>(XXH64(key, sizeof(key), 2017));
}

using Range = IndexRange;

void TriMesh::makeVetexUniqueParallel(std::vector<MeshVertex>& records,
                                      std::vector<uint32_t>& indices)
{
    Timer timer("makeVetexUniqueParallel", true);
    const auto n = static_cast<uint32_t>(records.size());
    const auto k = static_cast<uint32_t>(indices.size());

    // Slot numbers are kept in 32 bits.
    if (n > (1u << 31)) throw std::runtime_error("@makeVetexUniqueParallel: too many records");
    // At most half full, so probe runs stay short.
    const uint64_t capacity = std::bit_ceil(std::max<uint64_t>(16, 2ull * n));
    const uint64_t mask = capacity - 1;
    std::unique_ptr<std::atomic<uint32_t>[]> slots(new std::atomic<uint32_t>[capacity]);
    std::vector<uint32_t> slotOf(n);
    std::vector<uint32_t> remap(n);

    const VertexHasher hasher;
    const VertexPositionEqual equal;
    const MeshVertex* rec = records.data();

    // Insert: find or claim the slot of each position; the slot keeps the
    // smallest record number that carries it.
    parallelOver(n, [&](const Range& r) {
        // Hash the block first, so that the slot of a record a few steps
        // ahead can be fetched while this one is inserted: the table is far
        // larger than the caches.
        constexpr uint32_t Ahead = 8;
        for (uint32_t i = r.begin(); i != r.end(); ++i) slotOf[i] = static_cast<uint32_t>(hasher(rec[i]) & mask);
        for (uint32_t i = r.begin(); i != r.end(); ++i) {
            if (i + Ahead < r.end()) __builtin_prefetch(&slots[slotOf[i + Ahead]]);
            uint64_t s = slotOf[i];
            const uint32_t mine = i + 1;
            for (;;) {
                uint32_t cur = slots[s].load(std::memory_order_acquire);
                if (cur == 0) {
                    if (slots[s].compare_exchange_strong(cur, mine, std::memory_order_acq_rel)) break;
                    // Lost the race: cur now holds the winner; compare with it.
                }
                if (equal(rec[cur - 1], rec[i])) {
                    while (mine < cur &&
                           !slots[s].compare_exchange_weak(cur, mine, std::memory_order_acq_rel)) {
                    }
                    break;
                }
                s = (s + 1) & mask;
            }
            slotOf[i] = static_cast<uint32_t>(s);
        }
    });

    // Each record learns the first record of its position.
    std::vector<uint32_t>& firstOf = slotOf;
    parallelOver(n, [&](const Range& r) {
        for (uint32_t i = r.begin(); i != r.end(); ++i) {
            if (i + 8 < r.end()) __builtin_prefetch(&slots[firstOf[i + 8]]);
            firstOf[i] = slots[firstOf[i]].load(std::memory_order_relaxed) - 1;
        }
    });

    // Number the first records in input order: count per block, offsets
    // per block, then number within each block.
    constexpr uint32_t BlockSize = 1u << 14;
    const uint32_t blocks = (n + BlockSize - 1) / BlockSize;
    std::vector<uint32_t> blockBase(static_cast<size_t>(blocks) + 1, 0);
    parallelOver(blocks, [&](const Range& r) {
        for (uint32_t b = r.begin(); b != r.end(); ++b) {
            uint32_t c = 0;
            for (uint32_t i = b * BlockSize, e = std::min(n, i + BlockSize); i < e; ++i) c += firstOf[i] == i;
            blockBase[b + 1] = c;
        }
    });
    for (uint32_t b = 0; b < blocks; ++b) blockBase[b + 1] += blockBase[b];
    const uint32_t counter = blockBase[blocks];
    parallelOver(blocks, [&](const Range& r) {
        for (uint32_t b = r.begin(); b != r.end(); ++b) {
            uint32_t next = blockBase[b];
            for (uint32_t i = b * BlockSize, e = std::min(n, i + BlockSize); i < e; ++i) {
                if (firstOf[i] == i) remap[i] = next++;
            }
        }
    });
    // Later records take the number of their first one (written above).
    parallelOver(n, [&](const Range& r) {
        for (uint32_t i = r.begin(); i != r.end(); ++i) {
            if (firstOf[i] != i) remap[i] = remap[firstOf[i]];
        }
    });

    const uint32_t mapSize =
        n == 0 ? 0
               : tbb::parallel_reduce(
                     tbb::blocked_range<uint64_t>(0, capacity), 0u,
                     [&](const tbb::blocked_range<uint64_t>& r, uint32_t acc) {
                         for (uint64_t s = r.begin(); s != r.end(); ++s) {
                             if (slots[s].load(std::memory_order_relaxed) != 0) ++acc;
                         }
                         return acc;
                     },
                     [](uint32_t a, uint32_t b) { return a + b; }, tbb::auto_partitioner());
    throwIfCancelled();
    if (counter != mapSize) {
        logger->critical("MakeVetexUniqueParallel: {} != {}", counter, mapSize);
        throw std::runtime_error("");
    }
    slots.reset();

    // Compact into a fresh array: in place, a record could be overwritten
    // before another worker has copied it.
    std::vector<MeshVertex> unique(counter);
    parallelOver(n, [&](const Range& r) {
        for (uint32_t i = r.begin(); i != r.end(); ++i) {
            if (firstOf[i] == i) unique[remap[i]] = rec[i];
        }
    });
    records.swap(unique);
    unique = std::vector<MeshVertex>();

    std::atomic<bool> outOfRange{false};
    parallelOver(k, [&](const Range& r) {
        for (uint32_t j = r.begin(); j != r.end(); ++j) {
            if (indices[j] < n) {
                indices[j] = remap[indices[j]];
            } else {
                outOfRange.store(true, std::memory_order_relaxed);
            }
        }
    });
    if (outOfRange) throw std::runtime_error("@makeVetexUniqueParallel: index out of range");

    logger->debug("unique vertex number: {}", records.size());
}
