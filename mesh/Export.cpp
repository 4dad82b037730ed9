// Writing the mesh through the Assimp exporter from a one-mesh scene.

#include "TriMesh.h"

#include "Timer.h"

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/metadata.h>
#include <assimp/scene.h>

#include <memory>

int TriMesh::saveFile(const std::string& path, const std::string& formatId,
                      const std::vector<MeshVertex>& records, const std::vector<uint32_t>& indices,
                      bool exportNormals, TaskStatus* status)
{
    Timer timer("TriMesh::saveFile", true);
    // Records without an index list are a point set from a file without
    // triangles; reading them three by three would write made-up triangles.
    if (records.size() < 3 || indices.size() < 3) {
        logger->warn("No mesh data to save.");
        return 1;
    }

    Assimp::Exporter exporter;
    // Deleting the scene frees the nodes, meshes, materials, arrays and every
    // face's own index array.
    auto scene = std::make_unique<aiScene>();
    // Some exporters (pbrt) read the metadata without testing for it.
    scene->mMetaData = new aiMetadata();
    scene->mRootNode = new aiNode();
    scene->mRootNode->mNumMeshes = 1;
    scene->mRootNode->mMeshes = new unsigned[1]{0};
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial*[1]{new aiMaterial()};
    scene->mNumMeshes = 1;
    scene->mMeshes = new aiMesh*[1]{new aiMesh()};

    aiMesh* mesh = scene->mMeshes[0];
    mesh->mName = "tamrel_exported_mesh";
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mMaterialIndex = 0;
    const auto vertexCount = static_cast<unsigned>(records.size());
    mesh->mNumVertices = vertexCount;
    mesh->mVertices = new aiVector3D[vertexCount];
    if (exportNormals) mesh->mNormals = new aiVector3D[vertexCount];
    progress::advance(status, 0.2);

    for (unsigned i = 0; i < vertexCount; ++i) {
        const MeshVertex& r = records[i];
        mesh->mVertices[i] = aiVector3D(r.position[0], r.position[1], r.position[2]);
        if (exportNormals) mesh->mNormals[i] = aiVector3D(r.normal[0], r.normal[1], r.normal[2]);
    }
    progress::advance(status, 0.5);

    const auto faceCount = static_cast<unsigned>(indices.size() / 3);
    mesh->mNumFaces = faceCount;
    mesh->mFaces = new aiFace[faceCount];
    for (unsigned f = 0; f < faceCount; ++f) {
        aiFace& face = mesh->mFaces[f];
        face.mNumIndices = 3;
        face.mIndices = new unsigned[3]{indices[3 * f], indices[3 * f + 1], indices[3 * f + 2]};
    }
    progress::advance(status, 0.8);

    const aiReturn result = exporter.Export(scene.get(), formatId, path, 0u, nullptr);
    progress::reachStageEnd(status);
    if (result != aiReturn_SUCCESS) {
        logger->warn("Failed to export file <{}>: {}", path, exporter.GetErrorString());
        return 1;
    }
    return 0;
}
