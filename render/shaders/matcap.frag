#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_ARB_shading_language_420pack : enable

layout(constant_id = 0) const int RENDER_EDGE = 0;

layout(set = 0, binding = 0) uniform UniformBufferObject {
    mat4 proj;
    mat4 modelview;
    mat4 nrml_mat;
    vec2 viewport_size;
    uint matcap_index;
} ubo;

layout(set = 0, binding = 1) uniform sampler2DArray matcapTextureSampler;

layout(location = 0) in vec3 inColor;
layout(location = 1) in vec3 inEyeToVert_vw;
layout(location = 2) in vec3 inNormal_vw;
layout(location = 3) noperspective in vec3 inDistToEdge;

layout(location = 0) out vec4 outFragColor;

void main()
{
    vec3 eyeReflection = reflect(inEyeToVert_vw, inNormal_vw);
    vec2 uv = eyeReflection.xy * 0.5 / sqrt(2.0 * eyeReflection.z + 2.0) + vec2(0.5, 0.5);
    uv.y = 1.0 - uv.y;
    vec4 matcapColor = texture(matcapTextureSampler, vec3(uv.x, uv.y, float(ubo.matcap_index)));
    vec3 color = matcapColor.rgb;
    if (RENDER_EDGE == 1) {
        float minDist2Edge = min(inDistToEdge.x, min(inDistToEdge.y, inDistToEdge.z));
        float edgeIntensity = minDist2Edge < 0.0 ? 0.0 : 1.0 - smoothstep(0.0, 3.0, minDist2Edge);
        color = mix(color, vec3(0.1, 0.1, 0.1), edgeIntensity);
    }
    outFragColor = vec4(color, 1.0);
}
