#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_ARB_shading_language_420pack : enable

layout(triangles) in;
layout(line_strip, max_vertices = 6) out;

layout(set = 0, binding = 0) uniform UniformBufferObject {
    mat4 model;
    mat4 view;
    mat4 proj;
    mat4 nrml_mat;
} ubo;

layout(push_constant) uniform PushConsts {
    vec3 nrml_color;
    float nrml_length;
} pushConst;

layout(location = 0) in vec3 _normal[];

layout(location = 0) out vec3 color_;

in gl_PerVertex {
    vec4 gl_Position;
} gl_in[];

out gl_PerVertex {
    vec4 gl_Position;
};

void DrawNormal(int i)
{
    mat4 mvp = ubo.proj * ubo.view * ubo.model;
    vec3 p = gl_in[i].gl_Position.xyz;
    gl_Position = mvp * vec4(p, 1.0);
    color_ = pushConst.nrml_color;
    EmitVertex();
    gl_Position = mvp * vec4(p + _normal[i] * pushConst.nrml_length, 1.0);
    color_ = pushConst.nrml_color;
    EmitVertex();
    EndPrimitive();
}

void main()
{
    DrawNormal(0);
    DrawNormal(1);
    DrawNormal(2);
}
