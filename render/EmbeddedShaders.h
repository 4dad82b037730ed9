#pragma once
// The SPIR-V modules of every pipeline, compiled from render/shaders at build
// time and built into the executable. Read-only after static initialisation.

#include <cstddef>
#include <cstdint>
#include <vector>

// Mesh drawer.
extern const std::vector<uint32_t> MatcapVertShader;
extern const std::vector<uint32_t> MatcapWireframeGeomShader;
extern const std::vector<uint32_t> MatcapFragShader;
extern const std::vector<uint32_t> PhongVertShader;
extern const std::vector<uint32_t> PhongWireframeGeomShader;
extern const std::vector<uint32_t> PhongFragShader;
extern const std::vector<uint32_t> ColorVertShader;
extern const std::vector<uint32_t> ColorFragShader;
// Line drawer.
extern const std::vector<uint32_t> LineVertShader;
extern const std::vector<uint32_t> LineFragShader;
// Edge-detection drawer.
extern const std::vector<uint32_t> ScreenQuadVertShader;
extern const std::vector<uint32_t> SobelEdgeFragShader;
// GUI overlay.
extern const std::vector<uint32_t> UiVertShader;
extern const std::vector<uint32_t> UiFragShader;
// Embedded but bound to no pipeline.
extern const std::vector<uint32_t> NormalsVertShader;
extern const std::vector<uint32_t> NormalsGeomShader;
extern const std::vector<uint32_t> NormalsFragShader;
extern const std::vector<uint32_t> PhongMatcapUvWireframeGeomShader;

// Size of a module in bytes, as shader-module creation wants it.
inline size_t shaderCodeSize(const std::vector<uint32_t>& words)
{
    return words.size() * sizeof(uint32_t);
}
