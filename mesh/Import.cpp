// Reading a model file through Assimp into records and index triples.

#include "InputCheck.h"
#include "ParallelLoop.h"
#include "RepeatedWarning.h"
#include "TriMesh.h"

#include "Timer.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>

namespace {

// One parallel pass over the faces before the triangulation. It sets each
// mesh's primitive flags from the faces it really has: some readers give a
// broken file's mesh flags its faces do not have, and no flag at all makes
// the triangulation guess from the faces; either trips an assertion that
// aborts the process. And it refuses polygons the triangulation cannot
// take: one naming a vertex its mesh does not have makes it read out of
// bounds, and ear clipping takes time growing with the square of the corner
// count, so a few huge polygons would run for minutes. Small polygons,
// however many, cost little each.
bool prepareTriangulation(const aiScene& scene, std::string& why)
{
    constexpr uint64_t Budget = uint64_t{1} << 26; // corner counts squared, summed
    constexpr unsigned SmallPolygon = 64;
    std::atomic<uint64_t> work{0};
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        aiMesh* mesh = scene.mMeshes ? scene.mMeshes[m] : nullptr;
        if (!mesh) continue;
        std::atomic<unsigned> types{0};
        std::atomic<bool> noCorners{false};
        std::atomic<uint64_t> badIndex{UINT64_MAX};
        parallelOver(mesh->mFaces ? mesh->mNumFaces : 0, [&](const IndexRange& r) {
            unsigned local = 0;
            uint64_t localWork = 0;
            for (uint32_t f = r.begin(); f != r.end(); ++f) {
                const aiFace& face = mesh->mFaces[f];
                const unsigned n = face.mNumIndices;
                if (n <= 3) {
                    local |= n == 1 ? aiPrimitiveType_POINT : n == 2 ? aiPrimitiveType_LINE : n == 3 ? aiPrimitiveType_TRIANGLE : 0;
                    continue;
                }
                local |= aiPrimitiveType_POLYGON;
                if (!face.mIndices || !mesh->mVertices) {
                    noCorners = true;
                    continue;
                }
                for (unsigned k = 0; k < n; ++k) {
                    if (face.mIndices[k] >= mesh->mNumVertices) badIndex = face.mIndices[k];
                }
                if (n > SmallPolygon) localWork += uint64_t{n} * n;
            }
            types.fetch_or(local, std::memory_order_relaxed);
            work.fetch_add(localWork, std::memory_order_relaxed);
        });
        if (noCorners) {
            why = "a polygon without corners.";
            return false;
        }
        if (badIndex != UINT64_MAX) {
            why = "a polygon refers to vertex " + std::to_string(badIndex.load()) + " of " +
                  std::to_string(mesh->mNumVertices) + ".";
            return false;
        }
        if (work > Budget) {
            why = "polygons too large to triangulate.";
            return false;
        }
        mesh->mPrimitiveTypes = types ? types.load() : static_cast<unsigned>(aiPrimitiveType_POINT);
    }
    return true;
}

enum class Coordinates { Finite, NaN, Infinite };

// The mesh's vertices as records, in parallel; NaN outranks infinity.
Coordinates copyRecords(const aiMesh& mesh, MeshVertex* out)
{
    const aiColor4D* colors = mesh.mColors[0];
    const aiVector3D* uvs = mesh.mTextureCoords[0];
    const aiVector3D* normals = mesh.mNormals;
    std::atomic<bool> nan{false}, inf{false};
    parallelOver(mesh.mNumVertices, [&](const IndexRange& r) {
        for (uint32_t i = r.begin(); i != r.end(); ++i) {
            const aiVector3D& p = mesh.mVertices[i];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                (std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z) ? nan : inf).store(true);
            }
            MeshVertex& v = out[i];
            v.position[0] = p.x;
            v.position[1] = p.y;
            v.position[2] = p.z;
            if (normals) {
                v.normal[0] = normals[i].x;
                v.normal[1] = normals[i].y;
                v.normal[2] = normals[i].z;
            } else {
                v.normal[0] = v.normal[1] = v.normal[2] = 0.0f;
            }
            if (colors) {
                v.color[0] = colors[i].r;
                v.color[1] = colors[i].g;
                v.color[2] = colors[i].b;
            } else {
                v.color[0] = 0.6f;
                v.color[1] = 0.7f;
                v.color[2] = 0.8f;
            }
            if (uvs) {
                v.texcoord[0] = uvs[i].x;
                v.texcoord[1] = uvs[i].y;
            } else {
                v.texcoord[0] = v.texcoord[1] = 0.0f;
            }
        }
    });
    return nan ? Coordinates::NaN : inf ? Coordinates::Infinite : Coordinates::Finite;
}

enum class FaceFault { None, NotTriangle, OutOfRange, Degenerate };

// Why a face of a mesh with n vertices cannot be kept as a triangle. A
// malformed file may point past its own vertices; such a face would make
// every later step read out of bounds.
FaceFault faceFault(const aiFace& face, uint32_t n)
{
    const unsigned* idx = face.mIndices;
    if (face.mNumIndices != 3) return FaceFault::NotTriangle;
    if (!idx || idx[0] >= n || idx[1] >= n || idx[2] >= n) return FaceFault::OutOfRange;
    if (idx[0] == idx[1] || idx[1] == idx[2] || idx[0] == idx[2]) return FaceFault::Degenerate;
    return FaceFault::None;
}

// Copies the mesh's faces, offset, in parallel when every face can be kept;
// false (out partly written) when some face must be skipped.
bool copyTriangles(const aiMesh& mesh, uint32_t offset, uint32_t* out)
{
    const uint32_t n = mesh.mNumVertices;
    std::atomic<bool> allKept{true};
    parallelOver(mesh.mNumFaces, [&](const IndexRange& r) {
        for (uint32_t f = r.begin(); f != r.end(); ++f) {
            const unsigned* idx = mesh.mFaces[f].mIndices;
            if (faceFault(mesh.mFaces[f], n) != FaceFault::None) {
                allKept.store(false, std::memory_order_relaxed);
                return;
            }
            out[3 * static_cast<size_t>(f)] = idx[0] + offset;
            out[3 * static_cast<size_t>(f) + 1] = idx[1] + offset;
            out[3 * static_cast<size_t>(f) + 2] = idx[2] + offset;
        }
    });
    return allKept;
}

} // namespace

int TriMesh::loadModelFile(std::string path, std::vector<MeshVertex>& records,
                           std::vector<uint32_t>& indices, TaskStatus* status)
{
    Timer stopwatch;

    // Some readers open a folder as an empty stream and trip over it, and a
    // pipe or device could block the task forever.
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        logger->error("Failed to load model file <{}>: {}", path, "not a regular file.");
        return 1;
    }

    std::string why;
    if (!checkModelFile(path, why)) {
        logger->error("Failed to load model file <{}>: {}", path, why);
        return 1;
    }

    Assimp::Importer importer;
    // Read first, then triangulate: some readers give a broken file's mesh
    // primitive flags that its faces do not have, and the library's
    // triangulation asserts on that and aborts the whole process.
    const aiScene* scene = importer.ReadFile(path, 0);
    if (scene) {
        if (!prepareTriangulation(*scene, why)) {
            logger->error("Failed to load model file <{}>: {}", path, why);
            return 1;
        }
        scene = importer.ApplyPostProcessing(aiProcess_Triangulate);
    }
    if (!scene) {
        logger->error("Failed to load model file <{}>: {}", path, importer.GetErrorString());
        return 1;
    }
    progress::advance(status, 0.4);

    logger->info("Model <{}> loaded in {}", path,
                 Timer::formatDuration(static_cast<double>(stopwatch.elapsedNs())));
    stopwatch.start = Timer::nowNs();

    const size_t base = records.size();
    uint64_t vertexCount = 0;
    uint64_t faceCount = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes ? scene->mMeshes[m] : nullptr;
        if (!mesh) continue;
        vertexCount += mesh->mNumVertices;
        faceCount += mesh->mNumFaces;
    }
    if (vertexCount == 0) {
        logger->error("Failed to load model file <{}>: empty vertex data.", path);
        return 1;
    }
    if (base + vertexCount > std::numeric_limits<uint32_t>::max()) {
        logger->error("Failed to load model file <{}>: {}", path,
                      "too many vertices for 32-bit indices.");
        return 1;
    }
    records.resize(base + vertexCount);
    size_t at = base;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes ? scene->mMeshes[m] : nullptr;
        if (!mesh) continue;
        if (mesh->mNumVertices == 0 || !mesh->mNormals) ioTask.needNormals = true;
        if (mesh->mNumVertices > 0 && !mesh->mVertices) {
            logger->error("Failed to load model file <{}>: empty vertex data.", path);
            return 1;
        }
        switch (copyRecords(*mesh, records.data() + at)) {
        case Coordinates::NaN:
            logger->error("NaN vertex coordinate detected in file <{}>!", path);
            return 1;
        case Coordinates::Infinite:
            // An infinite coordinate would poison the box, the camera and the
            // normals of every neighbour.
            logger->error("Non-finite vertex coordinate detected in file <{}>!", path);
            return 1;
        case Coordinates::Finite:
            break;
        }
        at += mesh->mNumVertices;
    }
    progress::advance(status, 0.7);

    const size_t indexBase = indices.size();
    indices.resize(indexBase + 3 * faceCount);
    size_t cursor = indexBase;
    uint32_t nextOffset = static_cast<uint32_t>(base);
    RepeatedWarning nonTriangle(*logger, "Detected non-triangle face");
    RepeatedWarning outOfRange(*logger, "Detected face with out-of-range index");
    RepeatedWarning degenerate(*logger, "Detected degenerate face");
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes ? scene->mMeshes[m] : nullptr;
        if (!mesh) continue;
        const uint32_t offset = nextOffset;
        nextOffset += mesh->mNumVertices;
        if (!mesh->mFaces) continue;
        if (copyTriangles(*mesh, offset, indices.data() + cursor)) {
            cursor += 3 * static_cast<size_t>(mesh->mNumFaces);
            continue;
        }
        // Some face is skipped: face by face, with the warnings in order.
        const uint32_t n = mesh->mNumVertices;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            switch (faceFault(face, n)) {
            case FaceFault::NotTriangle:
                nonTriangle("Detected non-triangle face with {} indice(s), ignored", face.mNumIndices);
                continue;
            case FaceFault::OutOfRange:
                outOfRange("Detected face with out-of-range index, ignored");
                continue;
            case FaceFault::Degenerate:
                degenerate("Detected degenerate face, ignored");
                continue;
            case FaceFault::None:
                break;
            }
            const unsigned* idx = face.mIndices;
            indices[cursor++] = idx[0] + offset;
            indices[cursor++] = idx[1] + offset;
            indices[cursor++] = idx[2] + offset;
        }
    }
    indices.resize(cursor);

    nonTriangle.flush();
    outOfRange.flush();
    degenerate.flush();
    if (indices.size() == indexBase) {
        logger->warn("No triangle found in model file <{}>.", path);
    }
    logger->info("Model data parsed in {}",
                 Timer::formatDuration(static_cast<double>(stopwatch.elapsedNs())));
    progress::advance(status, 0.9);
    return 0;
}
