#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_ARB_shading_language_420pack : enable

layout(location = 0) in vec3 _pos;
layout(location = 1) in vec3 _normal;

layout(location = 0) out vec3 normal_;

out gl_PerVertex {
    vec4 gl_Position;
};

void main()
{
    normal_ = _normal;
    gl_Position = vec4(_pos, 1.0);
}
