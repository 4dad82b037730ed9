#include "EmbeddedShaders.h"

#include <gtest/gtest.h>

TEST(ShaderSet, EveryModuleIsSpirV10)
{
    const std::vector<uint32_t>* modules[] = {
        &MatcapVertShader, &MatcapWireframeGeomShader, &MatcapFragShader, &PhongVertShader,
        &PhongWireframeGeomShader, &PhongFragShader, &ColorVertShader, &ColorFragShader,
        &LineVertShader, &LineFragShader, &ScreenQuadVertShader, &SobelEdgeFragShader,
        &UiVertShader, &UiFragShader, &NormalsVertShader, &NormalsGeomShader,
        &NormalsFragShader, &PhongMatcapUvWireframeGeomShader};
    for (const auto* m : modules) {
        ASSERT_GT(m->size(), 5u);
        EXPECT_EQ((*m)[0], 0x07230203u);
        // Vulkan 1.0 consumers need SPIR-V 1.0.
        EXPECT_EQ((*m)[1], 0x00010000u);
        EXPECT_EQ(shaderCodeSize(*m) % 4, 0u);
    }
}
