#pragma once
// What every document task shares: the refusal while any task runs, the
// launch on a task group, and the catch-all around the body on the worker.

#include "TaskStatus.h"
#include "TriMesh.h"

#include <spdlog/logger.h>

#include <exception>
#include <utility>

// At most one document task exists at a time, whichever group runs it.
inline bool anyTaskRunning(const TriMesh& doc)
{
    return doc.ioTask.state.load(std::memory_order_acquire) != TaskIdle ||
           doc.remeshTask.state.load(std::memory_order_acquire) != TaskIdle;
}

// Main thread: the state reads running before the body exists.
template <typename Task, typename Body>
void startTask(Task& task, TaskStatus* status, const char* name, Body body)
{
    task.state.store(TaskRunning, std::memory_order_release);
    if (status) status->reset(name);
    task.taskGroup.run(std::move(body));
}

// Worker: runs body (true when it published its result, false when it
// reported a failure itself); a thrown failure is logged as
// "<errorPrefix>: <what>". On any failure onFailure drops what the body left
// half-done. Progress reaches 100 before the state is published, since the
// next task may start as soon as the state reads done or failed.
template <typename Body, typename OnFailure>
void runTaskBody(spdlog::logger& logger, const char* errorPrefix, TaskState& state, TaskStatus* status,
                 Body body, OnFailure onFailure)
{
    bool done = false;
    try {
        done = body();
    } catch (const std::exception& e) {
        logger.error("{}: {}", errorPrefix, e.what());
    } catch (...) {
        logger.error("{}: unknown exception caught.", errorPrefix);
    }
    if (!done) onFailure();
    progress::finish(status);
    state.store(done ? TaskDone : TaskFailed, std::memory_order_release);
}
