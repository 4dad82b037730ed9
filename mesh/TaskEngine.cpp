// Load and save: launchers (main thread) and bodies (TBB worker).

#include "MeshChecks.h"
#include "MeshGeometry.h"
#include "TaskBody.h"
#include "TaskCancel.h"
#include "TriMesh.h"

#include "Config.h"
#include "Timer.h"

#include <tbb/parallel_invoke.h>

#include <cstring>

bool TriMesh::loadFileAsync(std::string path)
{
    if (anyTaskRunning(*this)) {
        logger->warn("Can not start loading file, another task is runing, please wait for it to finish.");
        return false;
    }
    loadResultWaiting = false;
    // Each load decides afresh: the setting as it is now, or a file that
    // brings no normals of its own.
    ioTask.needNormals = ::ComputeVertexNormals.load();
    return startTask(*logger, ioTask, taskStatus, "Load", [this, path] { loadBody(path); });
}

bool TriMesh::saveFileAsync(std::string path, std::string formatId, bool exportNormals)
{
    if (anyTaskRunning(*this)) {
        logger->warn("Can not start saving file, another task is runing, please wait for it to finish.");
        return false;
    }
    loadResultWaiting = false;
    return startTask(*logger, ioTask, taskStatus, "Save",
                     [this, path, formatId, exportNormals] { saveBody(path, formatId, exportNormals); });
}

void TriMesh::loadBody(const std::string& path)
{
    Timer timer("Mesh Load Task Thread", true);
    TaskStatus* status = taskStatus;
    AsyncIoTask& io = ioTask;
    const auto body = [&] {
        io.vertices.clear();
        io.indices.clear();
        io.boundaryEdges.clear();
        io.complexEdges.clear();
        // Only the checks may call a mesh closed; the volume centre of an
        // unchecked open mesh would be meaningless.
        io.waterTight = false;

        progress::stage(status, 5, 50);
        if (loadModelFile(path, io.vertices, io.indices, status) != 0) return false;
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
        tbb::parallel_invoke(
            [&] {
                if (io.needNormals) ComputeVertexNormals(io.vertices, io.indices);
            },
            [&] {
                // The centre is checked against the box.
                box = computeBoundingBox(io.vertices);
                centre = computeMeshCenter(io.vertices, io.indices, io.waterTight, box);
            });
        // A cancelled invoke may have skipped a branch.
        throwIfCancelled();
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
        loadResultWaiting = true;
        return true;
    };
    runTaskBody(*logger, "Load", "Load file Error", io.state, status, body, [&] {
        io.vertices = std::vector<MeshVertex>();
        io.indices = std::vector<uint32_t>();
        io.boundaryEdges = std::vector<MeshVertex>();
        io.complexEdges = std::vector<MeshVertex>();
    });
}

void TriMesh::saveBody(const std::string& path, const std::string& formatId, bool exportNormals)
{
    TaskStatus* status = taskStatus;
    runTaskBody(
        *logger, "Save", "Save file Error", ioTask.state, status,
        [&] {
            progress::stage(status, 5, 90);
            const int result = saveFile(path, formatId, vertices, indices, exportNormals, status);
            progress::closeStage(status);
            return result == 0;
        },
        [] {});
}
