#pragma once
// A document task whose group was cancelled (the document is going away)
// stops at the next parallel step: a cut-short loop leaves slots unwritten,
// and the serial steps after it must never read them.

#include <tbb/task_group.h>

#include <stdexcept>

struct TaskCancelled : std::runtime_error {
    TaskCancelled() : std::runtime_error("task cancelled") {}
};

// Call after a parallel algorithm returns. Outside a task group (tools,
// tests driving the remesher directly) nothing is ever cancelled.
inline void throwIfCancelled()
{
    if (tbb::is_current_task_group_canceling()) throw TaskCancelled();
}
