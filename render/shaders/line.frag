#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_ARB_shading_language_420pack : enable

layout(push_constant) uniform PushConsts {
    int always_front;
} pushConst;

layout(location = 0) in vec4 inColor;

layout(location = 0) out vec4 outFragColor;

void main()
{
    outFragColor = inColor;
    // Depth 0 passes LESS_OR_EQUAL against anything drawn before.
    gl_FragDepth = pushConst.always_front > 0 ? 0.0 : gl_FragCoord.z;
}
