#include "TriMesh.h"

#include "Config.h"
#include "StringUtils.h"

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/importerdesc.h>
#include <spdlog/spdlog.h>

#include <cctype>
#include <cstring>

namespace {

std::shared_ptr<spdlog::logger> documentLogger()
{
    auto logger = spdlog::get("tamrel_log");
    // Without the registered logger (a tool that skipped the start-up) the
    // document still logs somewhere instead of dereferencing null.
    return logger ? logger : spdlog::default_logger();
}

// Bodies catch everything themselves; nothing may leave a destructor.
template <typename Task>
void cancelAndJoin(Task& task)
{
    task.taskGroup.cancel();
    // The worker's run_and_wait is the group's only work: once it has
    // returned, nothing is left to wait for.
    if (task.worker.joinable()) task.worker.join();
}

} // namespace

TriMesh::TriMesh() : logger(documentLogger())
{
    ioTask.needNormals = ::ComputeVertexNormals.load();

    {
        Assimp::Exporter exporter;
        const size_t count = exporter.GetExportFormatCount();
        for (size_t i = 0; i < count; ++i) {
            const aiExportFormatDesc* desc = exporter.GetExportFormatDescription(i);
            if (!desc) continue;
            exportFormats.push_back({desc->fileExtension ? desc->fileExtension : "",
                                     desc->id ? desc->id : "",
                                     desc->description ? desc->description : ""});
        }
    }
    {
        Assimp::Importer importer;
        for (size_t i = 0; i < importer.GetImporterCount(); ++i) {
            const aiImporterDesc* desc = importer.GetImporterInfo(i);
            if (!desc) continue;
            const std::string extensions = desc->mFileExtensions ? desc->mFileExtensions : "";
            importFormats.push_back({extensions, desc->mName ? desc->mName : ""});
            for (auto& piece : splitString(extensions, " ", true)) {
                // An empty piece would make every name ending in "." supported.
                if (!piece.empty()) importExtensions.push_back(std::move(piece));
            }
        }
    }
}

TriMesh::~TriMesh()
{
    // A running body still uses the result arrays, the cache and the remesher:
    // wait for both before any member is released.
    cancelAndJoin(remeshTask);
    cancelAndJoin(ioTask);
}

bool TriMesh::isSupportedFileExtension(std::string fileName) const
{
    for (char& c : fileName) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& ext : importExtensions) {
        const std::string suffix = "." + ext;
        if (fileName.size() >= suffix.size() &&
            std::memcmp(fileName.data() + fileName.size() - suffix.size(), suffix.data(),
                        suffix.size()) == 0) {
            return true;
        }
    }
    return false;
}

bool TriMesh::takeLoadResult()
{
    if (ioTask.state.load(std::memory_order_acquire) != TaskDone || !loadResultWaiting) return false;
    loadResultWaiting = false;
    vertices = std::move(ioTask.vertices);
    indices = std::move(ioTask.indices);
    boundaryEdges = std::move(ioTask.boundaryEdges);
    complexEdges = std::move(ioTask.complexEdges);
    ioTask.vertices.clear();
    ioTask.indices.clear();
    ioTask.boundaryEdges.clear();
    ioTask.complexEdges.clear();
    std::memcpy(center, ioTask.center, sizeof(center));
    std::memcpy(bboxMin, ioTask.bboxMin, sizeof(bboxMin));
    std::memcpy(bboxMax, ioTask.bboxMax, sizeof(bboxMax));
    waterTight = ioTask.waterTight;
    ioTask.state.store(TaskIdle, std::memory_order_release);
    return true;
}
