#pragma once
// The mesh document: the one indexed triangle mesh the application shows,
// repairs, remeshes and exports, what is derived from it for display, the
// importer and exporter format lists, and the two task contexts on which the
// load, save, remesh and smooth bodies run, each on a thread of its own.
//
// Owned by value by the Application for the whole run. Every member function
// except the task bodies runs on the main thread. While a context's state is
// running, its body writes only that context's members; the main thread
// reads the document's published arrays meanwhile. A finished load is moved
// into the document by takeLoadResult on the main thread, never by the worker.

#include "MeshVertex.h"
#include "TaskStatus.h"
#include "remesh/HalfedgeMesh.h"
#include "remesh/Remesher.h"

#include <spdlog/logger.h>
#include <tbb/task_group.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct ExportFormatInfo {
    std::string fileExtension;
    std::string id;
    std::string description;
};

struct ImporterInfo {
    std::string fileExtensions; // blank-separated, as the importer lists them
    std::string name;
};

struct AsyncIoTask {
    tbb::task_group taskGroup;
    // Runs the body of the task started last (see startTask).
    std::thread worker;
    TaskState state{TaskIdle};
    // Load result, filled by the load body and moved into the document by
    // TriMesh::takeLoadResult; empty except between a load and its take.
    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices;
    std::vector<MeshVertex> boundaryEdges;
    std::vector<MeshVertex> complexEdges;
    // Compute vertex normals after this load: the setting at launch, or a
    // mesh of the file without normals.
    bool needNormals = false;
    float center[3] = {0, 0, 0};
    float bboxMin[3] = {0, 0, 0};
    float bboxMax[3] = {0, 0, 0};
    bool waterTight = false;
};

struct AsyncRemeshTask {
    tbb::task_group taskGroup;
    std::thread worker;
    TaskState state{TaskIdle};
    // The document mesh as it was when the cache was built; no vertex means
    // no cache.
    HalfedgeMesh referenceMesh;
    // Works on referenceMesh, which therefore never moves while it exists.
    Remesher remesher;
    std::vector<MeshVertex> resultVertices;
    std::vector<uint32_t> resultIndices;
};

class TriMesh {
public:
    TriMesh();
    ~TriMesh();

    TriMesh(const TriMesh&) = delete;
    TriMesh& operator=(const TriMesh&) = delete;

    // True when the lower-cased name ends with "." and an importer extension.
    bool isSupportedFileExtension(std::string fileName) const;

    // Launchers (main thread): true when the task was started, false when it
    // was refused with a warning. They never wait.
    bool loadFileAsync(std::string path);
    bool saveFileAsync(std::string path, std::string formatId, bool exportNormals);
    bool remeshAsync(uint32_t adaptive, float triangleFactor, bool reuseSetup, double adaptParam);
    bool smoothAsync();

    // Main thread, after ioTask.state reads done: moves the load result
    // (arrays, box, centre, water-tightness) into the document. False, and
    // nothing changed, when no finished load is waiting. Sets the state back
    // to idle, so a result is taken once.
    bool takeLoadResult();

    void applyNewMesh();
    void clearAsyncRemeshCache();

    // Import, merge, repair, derived quantities and export (task bodies).
    int loadModelFile(std::string path, std::vector<MeshVertex>& records,
                      std::vector<uint32_t>& indices, TaskStatus* status);
    void makeVetexUniqueParallel(std::vector<MeshVertex>& records, std::vector<uint32_t>& indices);
    static void ComputeVertexNormals(std::vector<MeshVertex>& records,
                                     const std::vector<uint32_t>& indices);
    int saveFile(const std::string& path, const std::string& formatId,
                 const std::vector<MeshVertex>& records, const std::vector<uint32_t>& indices,
                 bool exportNormals, TaskStatus* status);

    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices;
    std::vector<MeshVertex> boundaryEdges;
    std::vector<MeshVertex> complexEdges;
    float center[3] = {0, 0, 0};
    float bboxMin[3] = {0, 0, 0};
    float bboxMax[3] = {0, 0, 0};
    bool waterTight = false;
    TaskStatus* taskStatus = nullptr;
    std::shared_ptr<spdlog::logger> logger;
    std::vector<std::string> importExtensions;
    std::vector<ExportFormatInfo> exportFormats;
    std::vector<ImporterInfo> importFormats;
    AsyncIoTask ioTask;
    AsyncRemeshTask remeshTask;

private:
    // Set by a load body before it reports done; a finished save leaves the
    // same state, and its empty load arrays must never replace the mesh.
    bool loadResultWaiting = false;

    void loadBody(const std::string& path);
    void saveBody(const std::string& path, const std::string& formatId, bool exportNormals);
};
