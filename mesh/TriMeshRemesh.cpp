// Remesh and smooth: launchers and Apply/Restore (main thread) and bodies
// (TBB worker) around the reference cache and the remesher.

#include "MeshChecks.h"
#include "MeshGeometry.h"
#include "TaskBody.h"
#include "TriMesh.h"

#include "remesh/MeshConversion.h"

#include <cstring>
#include <stdexcept>

namespace {

const float DefaultColor[3] = {0.6f, 0.7f, 0.8f};

// Records without an index list are a point set from a file without
// triangles, as for saving: reading them three by three would remesh
// made-up triangles.
bool hasMeshData(const TriMesh& doc)
{
    return doc.vertices.size() >= 3 && doc.indices.size() >= 3;
}

void resetCache(AsyncRemeshTask& task)
{
    task.referenceMesh = HalfedgeMesh();
    task.resultVertices = std::vector<MeshVertex>();
    task.resultIndices = std::vector<uint32_t>();
}

// Builds the reference mesh and its remesher when no cache exists. A cache
// that fails half-way is dropped, so the remesher never outlives the mesh
// it was built on.
void buildReferenceCache(TriMesh& doc, bool forSmoothing)
{
    AsyncRemeshTask& task = doc.remeshTask;
    if (task.referenceMesh.n_vertices() > 0) return;
    try {
        task.referenceMesh = buildHalfedgeMesh(doc.vertices, doc.indices);
        repairDegenerateTriangles(task.referenceMesh);
        // Vertices without triangles carry no surface and no curvature.
        removeIsolatedVertices(task.referenceMesh);
        if (task.referenceMesh.n_faces() == 0) {
            throw std::runtime_error("the mesh has no triangle with an area to work on.");
        }
        Remesher fresh(&task.referenceMesh);
        task.remesher = std::move(fresh);
        if (forSmoothing) task.remesher.initWorkingMesh();
    } catch (...) {
        task.referenceMesh = HalfedgeMesh();
        throw;
    }
}

// Publishes the working mesh only once it has been read out whole.
void publishWorkingMesh(AsyncRemeshTask& task)
{
    std::vector<MeshVertex> records;
    std::vector<uint32_t> triangles;
    extractVertexRecords(task.remesher.working, records, triangles, DefaultColor);
    task.resultVertices.swap(records);
    task.resultIndices.swap(triangles);
}

// After a failure nothing half-done may be applied or continued from.
void discardFailedResult(AsyncRemeshTask& task)
{
    task.resultVertices = std::vector<MeshVertex>();
    task.resultIndices = std::vector<uint32_t>();
    task.remesher.type = RemeshTypeNone;
}

void remeshBody(TriMesh& doc, uint32_t adaptive, float triangleFactor, bool reuseSetup, double adaptParam)
{
    TaskStatus* status = doc.taskStatus;
    AsyncRemeshTask& task = doc.remeshTask;
    const auto body = [&] {
        RemeshType type = adaptive != 0 ? RemeshTypeAdaptive : RemeshTypeUniform;
        buildReferenceCache(doc, false);
        progress::set(status, 15);

        const float wanted = static_cast<float>(task.referenceMesh.n_faces()) * triangleFactor;
        // Truncation of a negative, huge or undefined factor is undefined: clamp first.
        const uint64_t target = !(wanted > 0.0f) ? 0
                                : wanted >= 1.8e19f ? UINT64_MAX
                                                    : static_cast<uint64_t>(wanted);
        uint32_t iterations = 4;
        Remesher& r = task.remesher;
        if (!(reuseSetup && r.type == type && r.targetCount == target && r.sizeRatio == adaptParam)) {
            r.setup(&type, target, adaptParam);
            iterations = 10;
        }
        progress::stage(status, 30, 90);
        if (r.type == RemeshTypeUniform) {
            r.remesh(iterations, status);
        } else if (r.type == RemeshTypeAdaptive) {
            r.remeshAdaptive(iterations, status);
        } else {
            throw std::runtime_error("call setup function with desired remesh type first");
        }
        progress::closeStage(status);
        publishWorkingMesh(task);
        return true;
    };
    runTaskBody(*doc.logger, "Remesh", "Remesh Error", task.state, status, body, [&] { discardFailedResult(task); });
}

void smoothBody(TriMesh& doc)
{
    TaskStatus* status = doc.taskStatus;
    AsyncRemeshTask& task = doc.remeshTask;
    const auto body = [&] {
        buildReferenceCache(doc, true);
        // A cache whose remesh never got to its set-up has no working mesh yet.
        if (task.remesher.working.n_faces() == 0) task.remesher.initWorkingMesh();
        progress::stage(status, 30, 80);
        task.remesher.smooth(2, status);
        progress::closeStage(status);
        publishWorkingMesh(task);
        return true;
    };
    runTaskBody(*doc.logger, "Smooth", "Smooth Error", task.state, status, body, [&] { discardFailedResult(task); });
}

} // namespace

bool TriMesh::remeshAsync(uint32_t adaptive, float triangleFactor, bool reuseSetup, double adaptParam)
{
    if (anyTaskRunning(*this)) {
        logger->warn("Can not start remeshing, another task is runing, please wait for it to finish.");
        return false;
    }
    if (!hasMeshData(*this)) {
        logger->warn("No mesh data to remesh.");
        return false;
    }
    return startTask(*logger, remeshTask, taskStatus, "Remesh",
                     [this, adaptive, triangleFactor, reuseSetup, adaptParam] {
                         remeshBody(*this, adaptive, triangleFactor, reuseSetup, adaptParam);
                     });
}

bool TriMesh::smoothAsync()
{
    if (anyTaskRunning(*this)) {
        logger->warn("Can not start mesh smooth, another task is runing, please wait for it to finish.");
        return false;
    }
    if (!hasMeshData(*this)) {
        logger->warn("No mesh data to smooth.");
        return false;
    }
    return startTask(*logger, remeshTask, taskStatus, "Smooth", [this] { smoothBody(*this); });
}

void TriMesh::applyNewMesh()
{
    if (anyTaskRunning(*this)) {
        logger->warn("Can not apply new mesh when async task is running.");
        return;
    }
    if (remeshTask.resultVertices.empty()) {
        logger->info("Nothing to apply.");
        return;
    }
    vertices = std::move(remeshTask.resultVertices);
    indices = std::move(remeshTask.resultIndices);
    resetCache(remeshTask);

    // The overlays, the box and the centre must describe the applied mesh,
    // not the one last loaded.
    MeshChecker checker(std::move(vertices), std::move(indices));
    checker.buildEdgeMap();
    checker.checkManifoldness();
    complexEdges = checker.edgeSegments(checker.complexEdgeKeys);
    boundaryEdges = checker.edgeSegments(checker.boundaryEdgeKeys);
    vertices = std::move(checker.vertices);
    indices = std::move(checker.indices);
    waterTight = !indices.empty() && boundaryEdges.empty() && complexEdges.empty();
    const std::array<float, 6> box = computeBoundingBox(vertices);
    const std::array<float, 3> centre = computeMeshCenter(vertices, indices, waterTight, box);
    std::memcpy(bboxMin, box.data(), sizeof(bboxMin));
    std::memcpy(bboxMax, box.data() + 3, sizeof(bboxMax));
    std::memcpy(center, centre.data(), sizeof(center));

    logger->info("New mesh successfully applied.");
}

void TriMesh::clearAsyncRemeshCache()
{
    if (remeshTask.state.load(std::memory_order_acquire) == TaskRunning) {
        logger->error("Can not clear reference mesh cache while remesh task is running.");
        throw std::runtime_error("@clearAsyncRemeshCache");
    }
    resetCache(remeshTask);
}
