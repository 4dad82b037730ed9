#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_ARB_shading_language_420pack : enable

layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;

layout(set = 0, binding = 0) uniform UniformBufferObject {
    mat4 proj;
    mat4 modelview;
    mat4 nrml_mat;
    vec2 viewport_size;
    uint matcap_index;
} ubo;

layout(location = 0) in vec3 inNormal[];
layout(location = 1) in vec3 inColor[];
layout(location = 2) in vec3 inVecToEye[];
layout(location = 3) in vec3 inVecToLight[];

layout(location = 0) out vec3 outNormal;
layout(location = 1) out vec3 outColor;
layout(location = 2) out vec3 outVecToEye;
layout(location = 3) out vec3 outVecToLight;
layout(location = 4) noperspective out vec3 outDistToEdge;

in gl_PerVertex {
    vec4 gl_Position;
} gl_in[];

out gl_PerVertex {
    vec4 gl_Position;
};

void main()
{
    // Corners in window coordinates scaled by two about the centre, so the
    // distances below are in half-pixels.
    vec2 p0 = ubo.viewport_size * (gl_in[0].gl_Position.xy / gl_in[0].gl_Position.w);
    vec2 p1 = ubo.viewport_size * (gl_in[1].gl_Position.xy / gl_in[1].gl_Position.w);
    vec2 p2 = ubo.viewport_size * (gl_in[2].gl_Position.xy / gl_in[2].gl_Position.w);
    vec2 e0 = p1 - p0;
    vec2 e1 = p2 - p1;
    vec2 e2 = p0 - p2;
    vec3 oppsiteEdgeLength = vec3(length(e1), length(e2), length(e0));
    float doubleArea = abs(e1.x * e2.y - e1.y * e2.x);

    for (int i = 0; i < 3; ++i) {
        outNormal = inNormal[i];
        outColor = inColor[i];
        outVecToEye = inVecToEye[i];
        outVecToLight = inVecToLight[i];
        outDistToEdge = vec3(0.0);
        outDistToEdge[i] = doubleArea / oppsiteEdgeLength[i];
        gl_Position = gl_in[i].gl_Position;
        EmitVertex();
    }
    EndPrimitive();
}
