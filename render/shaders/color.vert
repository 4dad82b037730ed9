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

layout(location = 0) out vec4 outColor;

out gl_PerVertex {
    vec4 gl_Position;
};

void main()
{
    outColor = vec4(0.6, 0.8, 0.6, 1.0);
    gl_Position = ubo.proj * ubo.modelview * vec4(inPosition, 1.0);
}
