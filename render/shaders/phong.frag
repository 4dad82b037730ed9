#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_ARB_shading_language_420pack : enable

layout(constant_id = 0) const int RENDER_EDGE = 0;

layout(location = 0) in vec3 inNormal;
layout(location = 1) in vec3 inColor;
layout(location = 2) in vec3 inVecToEye;
layout(location = 3) in vec3 inVecToLight;
layout(location = 4) noperspective in vec3 inDistToEdge;

layout(location = 0) out vec4 outFragColor;

vec3 toGamma(vec3 c)
{
    return pow(c, vec3(1.0 / 2.2));
}

void main()
{
    vec3 ambient = vec3(0.12, 0.2, 0.24);
    vec3 N = normalize(inNormal);
    vec3 L = normalize(inVecToLight);
    float dotLN = dot(N, L);
    vec3 color = ambient * 0.382;
    if (dotLN > 0.0) {
        vec3 V = normalize(inVecToEye);
        vec3 R = reflect(-L, N);
        vec3 specular = vec3(1.0) * pow(max(dot(R, V), 0.0), 48.0);
        vec3 diffuse = inColor * dotLN;
        color += (diffuse + specular) * 0.618;
    }
    if (RENDER_EDGE == 1) {
        float minDist2Edge = min(inDistToEdge.x, min(inDistToEdge.y, inDistToEdge.z));
        float edgeIntensity = minDist2Edge < 0.0 ? 0.0 : 1.0 - smoothstep(0.0, 3.0, minDist2Edge);
        color = mix(color, vec3(0.0), edgeIntensity);
    }
    outFragColor = vec4(toGamma(color), 1.0);
}
