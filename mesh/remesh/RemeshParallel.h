#pragma once
// Parallel loops of the remesher. Embree wants flush-to-zero and
// denormals-are-zero on the threads that use it, and the reference surface
// sets them on the thread that builds it; every chunk of a loop, and every
// driver, runs under that same mode, so that a value computes alike on
// whichever thread and the result does not depend on the thread count.

#include "TaskCancel.h"

#include <tbb/parallel_for.h>
#include <tbb/parallel_sort.h>

#include <cstddef>

class FloatModeScope {
public:
    FloatModeScope();
    ~FloatModeScope();
    FloatModeScope(const FloatModeScope&) = delete;
    FloatModeScope& operator=(const FloatModeScope&) = delete;

private:
    unsigned int saved;
};

// body(range) for chunks of [0, n) of at least grain indices. Throws
// TaskCancelled when the task running it was cancelled, since chunks may
// have been skipped.
template <typename F>
void parallelChunks(size_t n, size_t grain, F&& body)
{
    tbb::parallel_for(tbb::blocked_range<size_t>(0, n, grain), [&](const tbb::blocked_range<size_t>& r) {
        FloatModeScope mode;
        body(r);
    });
    throwIfCancelled();
}

// tbb::parallel_sort, throwing TaskCancelled like parallelChunks.
template <typename It, typename... Compare>
void parallelSort(It first, It last, const Compare&... compare)
{
    tbb::parallel_sort(first, last, compare...);
    throwIfCancelled();
}

// body(i) for every i in [0, n).
template <typename F>
void parallelIndices(size_t n, size_t grain, F&& body)
{
    parallelChunks(n, grain, [&](const tbb::blocked_range<size_t>& r) {
        for (size_t i = r.begin(); i != r.end(); ++i) body(i);
    });
}
