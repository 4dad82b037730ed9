#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_ARB_shading_language_420pack : enable

layout(set = 0, binding = 1) uniform sampler2D imageSampler;

layout(push_constant) uniform PushConstants {
    float img_width;
    float img_height;
    uint process_type;
} pushConst;

// A pipeline made for one filter sets this to its process type, so that the
// other filters are compiled out rather than run under a mask on every pixel
// by rasterisers without uniform branching; -1 leaves the choice to the push
// constant.
layout(constant_id = 0) const int PROCESS_TYPE = -1;

layout(location = 0) in vec2 inUV;

layout(location = 0) out vec4 outFragColor;

float sobel_conv(float imageData[9])
{
    const float Gx[9] = float[](1.0, 0.0, -1.0, 2.0, 0.0, -2.0, 1.0, 0.0, -1.0);
    const float Gy[9] = float[](1.0, 2.0, 1.0, 0.0, 0.0, 0.0, -1.0, -2.0, -1.0);
    float gradx = 0.0;
    float grady = 0.0;
    for (int n = 0; n < 9; ++n) {
        gradx += Gx[n] * imageData[n];
        grady += Gy[n] * imageData[n];
    }
    return sqrt(gradx * gradx + grady * grady);
}

void main()
{
    uint processType = PROCESS_TYPE >= 0 ? uint(PROCESS_TYPE) : pushConst.process_type;
    if (processType == 0u) {
        // Source and target have the same extent: the texel under the pixel
        // is the one nearest sampling at the pixel centre reads, fetched
        // without the sampler's coordinate work.
        outFragColor = texelFetch(imageSampler, ivec2(gl_FragCoord.xy), 0);
    } else if (processType == 1u) {
        float du = 1.0 / pushConst.img_width;
        float dv = 1.0 / pushConst.img_height;
        float imageData[9];
        int n = 0;
        for (int i = -1; i <= 1; ++i) {
            for (int j = -1; j <= 1; ++j) {
                imageData[n] = texture(imageSampler, vec2(inUV.x + float(i) * du, inUV.y + float(j) * dv)).r;
                ++n;
            }
        }
        float m = sobel_conv(imageData);
        outFragColor = vec4(1.0 - m, 1.0 - m, 1.0 - m, 1.0);
    } else if (processType == 2u) {
        outFragColor = vec4(1.0 - texture(imageSampler, inUV).rgb, 1.0);
    }
}
