#pragma once
// Task state words and the progress record of the running document task.
// The GUI overlay owns the one TaskStatus; the document's task bodies raise
// its progress on a worker while the main thread reads it once per frame,
// so the integers are atomics read and written whole. The name is written
// only by the launchers, on the main thread.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

// State word of a task context: 0 idle, 1 running, 2 failed, 3 done.
using TaskState = std::atomic<uint32_t>;

enum TaskStateValue : uint32_t {
    TaskIdle = 0,
    TaskRunning = 1,
    TaskFailed = 2,
    TaskDone = 3,
};

struct TaskStatus {
    std::string name;
    std::atomic<uint32_t> stageStart{0};
    std::atomic<uint32_t> stageEnd{100};
    std::atomic<uint32_t> progress{0};

    // Progress keeps its old value until the task sets its first one.
    void reset(const std::string& taskName)
    {
        stageStart = 0;
        stageEnd = 100;
        name = taskName;
    }
};

// Progress operations of the task bodies; each does nothing without a record.
namespace progress {

inline void set(TaskStatus* s, uint32_t v)
{
    if (!s) return;
    const uint32_t lo = s->stageStart.load(std::memory_order_relaxed);
    const uint32_t hi = s->stageEnd.load(std::memory_order_relaxed);
    s->progress.store(std::clamp(v, lo, std::max(lo, hi)), std::memory_order_relaxed);
}

inline void stage(TaskStatus* s, uint32_t v, uint32_t end)
{
    if (!s) return;
    set(s, v);
    s->stageEnd.store(end, std::memory_order_relaxed);
}

// Moves the progress the fraction f of the way to the stage end.
inline void advance(TaskStatus* s, double f)
{
    if (!s) return;
    const uint32_t end = s->stageEnd.load(std::memory_order_relaxed);
    const uint32_t cur = s->progress.load(std::memory_order_relaxed);
    if (cur >= end) {
        s->progress.store(end, std::memory_order_relaxed);
        return;
    }
    const auto step = static_cast<uint32_t>(static_cast<double>(end - cur) * f);
    s->progress.store(std::min(end, cur + step), std::memory_order_relaxed);
}

// The running stage is done; the next one has yet to be set.
inline void reachStageEnd(TaskStatus* s)
{
    if (!s) return;
    s->progress.store(s->stageEnd.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

inline void closeStage(TaskStatus* s)
{
    if (!s) return;
    reachStageEnd(s);
    s->stageEnd.store(100, std::memory_order_relaxed);
}

inline void finish(TaskStatus* s)
{
    if (!s) return;
    s->progress.store(100, std::memory_order_relaxed);
}

} // namespace progress
