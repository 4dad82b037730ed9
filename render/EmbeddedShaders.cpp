#include "EmbeddedShaders.h"

// The .inc files are initialiser lists of SPIR-V words written by glslc.

const std::vector<uint32_t> MatcapVertShader =
#include "matcap.vert.inc"
;

const std::vector<uint32_t> MatcapWireframeGeomShader =
#include "matcap_wireframe.geom.inc"
;

const std::vector<uint32_t> MatcapFragShader =
#include "matcap.frag.inc"
;

const std::vector<uint32_t> PhongVertShader =
#include "phong.vert.inc"
;

const std::vector<uint32_t> PhongWireframeGeomShader =
#include "phong_wireframe.geom.inc"
;

const std::vector<uint32_t> PhongFragShader =
#include "phong.frag.inc"
;

const std::vector<uint32_t> ColorVertShader =
#include "color.vert.inc"
;

const std::vector<uint32_t> ColorFragShader =
#include "color.frag.inc"
;

const std::vector<uint32_t> LineVertShader =
#include "line.vert.inc"
;

const std::vector<uint32_t> LineFragShader =
#include "line.frag.inc"
;

const std::vector<uint32_t> ScreenQuadVertShader =
#include "screen_quad.vert.inc"
;

const std::vector<uint32_t> SobelEdgeFragShader =
#include "sobel_edge.frag.inc"
;

const std::vector<uint32_t> UiVertShader =
#include "ui.vert.inc"
;

const std::vector<uint32_t> UiFragShader =
#include "ui.frag.inc"
;

const std::vector<uint32_t> NormalsVertShader =
#include "normals.vert.inc"
;

const std::vector<uint32_t> NormalsGeomShader =
#include "normals.geom.inc"
;

const std::vector<uint32_t> NormalsFragShader =
#include "normals.frag.inc"
;

const std::vector<uint32_t> PhongMatcapUvWireframeGeomShader =
#include "phong_matcap_uv_wireframe.geom.inc"
;
