// Load and save: launchers (main thread) and bodies (TBB worker).

#include "MeshChecks.h"
#include "MeshGeometry.h"
#include "TriMesh.h"

#include "Config.h"
#include "Timer.h"

#include <tbb/parallel_invoke.h>
#include <tbb/task_group.h>

#include <cstring>
#include <exception>

bool TriMesh::loadFileAsync(std::string path)
{
    if (ioTask.state.load(std::memory_order_acquire) != TaskIdle ||
        remeshTask.state.load(std::memory_order_acquire) != TaskIdle) {
        logger->warn("Can not start loading file, another task is runing, please wait for it to finish.");
        return false;
    }
    loadResultWaiting = false;
    ioTask.state.store(TaskRunning, std::memory_order_release);
    if (taskStatus) taskStatus->reset("Load");
    // Each load decides afresh: the setting as it is now, or a file that
    // brings no normals of its own.
    ioTask.needNormals = ::ComputeVertexNormals.load();
    ioTask.taskGroup.run([this, path] { loadBody(path); });
    return true;
}

bool TriMesh::saveFileAsync(std::string path, std::string formatId, bool exportNormals)
{
    if (ioTask.state.load(std::memory_order_acquire) != TaskIdle ||
        remeshTask.state.load(std::memory_order_acquire) != TaskIdle) {
        logger->warn("Can not start saving file, another task is runing, please wait for it to finish.");
        return false;
    }
    loadResultWaiting = false;
    ioTask.state.store(TaskRunning, std::memory_order_release);
    if (taskStatus) taskStatus->reset("Save");
    ioTask.taskGroup.run([this, path, formatId, exportNormals] { saveBody(path, formatId, exportNormals); });
    return true;
}

void TriMesh::loadBody(const std::string& path)
{
    Timer timer("Mesh Load Task Thread", true);
    TaskStatus* status = taskStatus;
    AsyncIoTask& io = ioTask;
    try {
        io.vertices.clear();
        io.indices.clear();
        io.boundaryEdges.clear();
        io.complexEdges.clear();
        // Only the checks may call a mesh closed; the volume centre of an
        // unchecked open mesh would be meaningless.
        io.waterTight = false;

        progress::stage(status, 5, 50);
        if (loadModelFile(path, io.vertices, io.indices, status) != 0) {
            io.vertices = std::vector<MeshVertex>();
            io.indices = std::vector<uint32_t>();
            progress::finish(status);
            io.state.store(TaskFailed, std::memory_order_release);
            return;
        }
        progress::closeStage(status);
        logger->info("Vertex number: {} | Triangle number: {}", io.vertices.size(),
                     io.indices.size() / 3);

        // A point set keeps its records as they are: there is nothing to weld.
        if (MergeDuplicateVertices.load() && !io.indices.empty()) {
            makeVetexUniqueParallel(io.vertices, io.indices);
            logger->debug("Unique vertex number: {}", io.vertices.size());
        }
        progress::set(status, 60);

        const bool check = CheckManifoldness.load();
        if (check) {
            MeshChecker checker(std::move(io.vertices), std::move(io.indices));
            checker.removeDegenerateFaces();
            checker.buildEdgeMap();
            checker.checkManifoldness();
            io.complexEdges = checker.edgeSegments(checker.complexEdgeKeys);
            io.boundaryEdges = checker.edgeSegments(checker.boundaryEdgeKeys);
            io.vertices = std::move(checker.vertices);
            io.indices = std::move(checker.indices);
            // A point set has no open edge, but it encloses nothing either.
            io.waterTight = !io.indices.empty() && io.boundaryEdges.empty() && io.complexEdges.empty();
        }
        progress::set(status, 75);

        std::array<float, 6> box{};
        std::array<float, 3> centre{};
        {
            tbb::task_group_context ctx;
            tbb::parallel_invoke(
                [&] {
                    if (io.needNormals) ComputeVertexNormals(io.vertices, io.indices);
                },
                [&] { box = computeBoundingBox(io.vertices); },
                [&] { centre = computeMeshCenter(io.vertices, io.indices, io.waterTight); }, ctx);
        }
        std::memcpy(io.bboxMin, box.data(), sizeof(io.bboxMin));
        std::memcpy(io.bboxMax, box.data() + 3, sizeof(io.bboxMax));
        std::memcpy(io.center, centre.data(), sizeof(io.center));

        if (check) {
            if (io.waterTight) {
                logger->info("Mesh is water-tight.");
            } else {
                logger->info("Mesh has {} boundary edge(s) & {} complex edge(s).",
                             io.boundaryEdges.size() / 2, io.complexEdges.size() / 2);
            }
        }
        progress::set(status, 90);
        // The main thread moves the result into the document when it sees
        // the state done (takeLoadResult).
        progress::finish(status);
        loadResultWaiting = true;
        io.state.store(TaskDone, std::memory_order_release);
        return;
    } catch (const std::exception& e) {
        logger->error("Load file Error: {}", e.what());
    } catch (...) {
        logger->error("Load file Error: unknown exception caught.");
    }
    io.vertices = std::vector<MeshVertex>();
    io.indices = std::vector<uint32_t>();
    io.boundaryEdges = std::vector<MeshVertex>();
    io.complexEdges = std::vector<MeshVertex>();
    progress::finish(status);
    io.state.store(TaskFailed, std::memory_order_release);
}

void TriMesh::saveBody(const std::string& path, const std::string& formatId, bool exportNormals)
{
    TaskStatus* status = taskStatus;
    try {
        progress::stage(status, 5, 90);
        const int result = saveFile(path, formatId, vertices, indices, exportNormals, status);
        progress::closeStage(status);
        progress::finish(status);
        ioTask.state.store(result != 0 ? TaskFailed : TaskDone, std::memory_order_release);
        return;
    } catch (const std::exception& e) {
        logger->error("Save file Error: {}", e.what());
    } catch (...) {
        logger->error("Save file Error: unknown exception caught.");
    }
    progress::finish(status);
    ioTask.state.store(TaskFailed, std::memory_order_release);
}
