#pragma once
// The document's parallel loops over index ranges. Their context is bound to
// the task group that runs the body, so cancelling the document's task stops
// the loop too.

#include "TaskCancel.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>

#include <cstdint>

using IndexRange = tbb::blocked_range<uint32_t>;

// Runs body over [0, n). A cancelled loop (the document is going away) leaves
// slots unwritten that later steps would index with, so it throws.
template <typename Body>
void parallelOver(uint32_t n, const Body& body)
{
    if (n == 0) return;
    tbb::parallel_for(IndexRange(0, n, 1), body, tbb::auto_partitioner());
    throwIfCancelled();
}
