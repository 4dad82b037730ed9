#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_ARB_shading_language_420pack : enable

layout(set = 0, binding = 0) uniform UniformBufferObject {
    mat4 proj;
    mat4 modelview;
    mat4 nrml_mat;
    vec2 viewport_size;
    uint matcap_index;
} ubo;

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec3 inColor;
layout(location = 3) in vec2 inUV;

layout(location = 0) out vec3 outColor;
layout(location = 1) out vec3 outEyeToVert_vw;
layout(location = 2) out vec3 outNormal_vw;
// Pipelines without an edge-overlay geometry stage still feed the fragment
// stage's edge-distance input; it is read only with RENDER_EDGE on.
layout(location = 3) noperspective out vec3 outDistToEdge;

out gl_PerVertex {
    vec4 gl_Position;
};

void main()
{
    outColor = inColor;
    vec4 vertPosw = ubo.modelview * vec4(inPosition, 1.0);
    // The eye sits at the view-space origin.
    outEyeToVert_vw = normalize(vertPosw.xyz);
    outNormal_vw = normalize((ubo.nrml_mat * vec4(inNormal, 0.0)).xyz);
    outDistToEdge = vec3(1.0e6);
    gl_Position = ubo.proj * vertPosw;
}
