#pragma once
// What every document task shares: the refusal while any task runs, the
// launch on a thread of the task's own, and the catch-all around the body.

#include "TaskStatus.h"
#include "TriMesh.h"

#include <spdlog/logger.h>
#include <tbb/task_group.h>

#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

// At most one document task exists at a time, whichever group runs it.
inline bool anyTaskRunning(const TriMesh& doc)
{
    return doc.ioTask.state.load(std::memory_order_acquire) != TaskIdle ||
           doc.remeshTask.state.load(std::memory_order_acquire) != TaskIdle;
}

// Main thread: the state reads running before the body exists. The body
// runs on a thread of its own inside the task group: TBB starts no worker on
// a one-CPU machine, and the main thread polls rather than waits, so a body
// merely queued on the group would never run there. The group still gives
// the body's parallel loops their parent context, so cancelling the group
// stops them. False (state idle again) when no thread could be started.
template <typename Task, typename Body>
bool startTask(spdlog::logger& logger, Task& task, TaskStatus* status, const char* name, Body body)
{
    // The previous body has published its state; its thread is ending.
    if (task.worker.joinable()) task.worker.join();
    task.state.store(TaskRunning, std::memory_order_release);
    if (status) status->reset(name);
    try {
        task.worker = std::thread([&group = task.taskGroup, body = std::move(body)]() mutable {
            group.run_and_wait(body);
        });
    } catch (const std::system_error& e) {
        logger.error("Can not start the {} task: {}", name, e.what());
        task.state.store(TaskIdle, std::memory_order_release);
        return false;
    }
    return true;
}

// Worker: runs body (true when it published its result, false when it
// reported a failure itself); a thrown failure is logged as
// "<errorPrefix>: <what>", unless the task was cancelled, which is no
// failure of the task's own. On any failure onFailure drops what the body
// left half-done. Progress reaches 100 before the state is published, since
// the next task may start as soon as the state reads done or failed.
template <typename Body, typename OnFailure>
void runTaskBody(spdlog::logger& logger, const char* name, const char* errorPrefix, TaskState& state,
                 TaskStatus* status, Body body, OnFailure onFailure)
{
    bool done = false;
    std::string failure;
    try {
        done = body();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown exception caught.";
    }
    if (!done && tbb::is_current_task_group_canceling()) {
        // Whatever a cut-short step threw (our loops, or a library's own
        // "cancelled" error) comes from the cancellation.
        logger.info("{} task cancelled.", name);
    } else if (!done && !failure.empty()) {
        logger.error("{}: {}", errorPrefix, failure);
    }
    if (!done) onFailure();
    progress::finish(status);
    state.store(done ? TaskDone : TaskFailed, std::memory_order_release);
}
