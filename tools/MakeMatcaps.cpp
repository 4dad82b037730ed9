// Build-time generator of the matcap texture pack: a KTX 1.1 file holding a
// 2D array of procedurally lit spheres, 8-bit RGBA, one mip level.
// Usage: tamrel-make-matcaps OUTPUT.ktx

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr uint32_t Size = 256;

struct Vec3 {
    double x, y, z;
};

Vec3 operator*(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 normalize(const Vec3& a) { return a * (1.0 / std::sqrt(dot(a, a))); }

struct Material {
    Vec3 ambient;
    Vec3 diffuse;
    Vec3 specular;
    double shininess;
    double rim;       // strength of a bright rim (subsurface look)
    int toonLevels;   // 0: smooth shading
};

const Material Materials[] = {
    {{0.20, 0.17, 0.15}, {0.70, 0.62, 0.55}, {0.10, 0.10, 0.10}, 8, 0.0, 0},    // clay
    {{0.10, 0.01, 0.01}, {0.75, 0.08, 0.06}, {0.90, 0.90, 0.90}, 80, 0.0, 0},   // glossy red
    {{0.03, 0.12, 0.08}, {0.20, 0.62, 0.40}, {0.60, 0.75, 0.65}, 40, 0.35, 0},  // jade
    {{0.15, 0.15, 0.16}, {0.45, 0.46, 0.50}, {1.00, 1.00, 1.00}, 25, 0.0, 0},   // metal
    {{0.22, 0.13, 0.10}, {0.85, 0.60, 0.50}, {0.25, 0.20, 0.18}, 12, 0.25, 0},  // skin
    {{0.10, 0.12, 0.20}, {0.35, 0.55, 0.95}, {0.80, 0.80, 0.80}, 30, 0.0, 3},   // toon
};

uint8_t toByte(double v)
{
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

void renderSphere(const Material& m, std::vector<uint8_t>& out)
{
    const Vec3 key = normalize({-0.4, 0.6, 0.7});
    const Vec3 fill = normalize({0.6, -0.2, 0.5});
    const Vec3 view = {0, 0, 1};
    for (uint32_t row = 0; row < Size; ++row) {
        for (uint32_t col = 0; col < Size; ++col) {
            double x = (col + 0.5) / Size * 2.0 - 1.0;
            double y = 1.0 - (row + 0.5) / Size * 2.0;
            double r2 = x * x + y * y;
            // Outside the disc repeat the silhouette normal, so that filtered
            // look-ups near the rim never pick up a background colour.
            if (r2 > 1.0) {
                const double r = std::sqrt(r2);
                x /= r;
                y /= r;
                r2 = 1.0;
            }
            const Vec3 n = normalize({x, y, std::sqrt(std::max(0.0, 1.0 - r2))});
            double d = std::max(0.0, dot(n, key)) + 0.3 * std::max(0.0, dot(n, fill));
            if (m.toonLevels > 0) d = std::floor(d * m.toonLevels + 0.5) / m.toonLevels;
            const Vec3 h = normalize(key + view);
            double s = std::pow(std::max(0.0, dot(n, h)), m.shininess);
            if (m.toonLevels > 0) s = s > 0.5 ? 1.0 : 0.0;
            const double rim = m.rim * std::pow(1.0 - n.z, 2.0);
            const Vec3 c = m.ambient + m.diffuse * (d + rim) + m.specular * s;
            out.push_back(toByte(c.x));
            out.push_back(toByte(c.y));
            out.push_back(toByte(c.z));
            out.push_back(255);
        }
    }
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ktx\n", argv[0]);
        return 2;
    }
    const uint32_t layers = sizeof(Materials) / sizeof(Materials[0]);
    std::vector<uint8_t> pixels;
    pixels.reserve(size_t(Size) * Size * 4 * layers);
    for (const Material& m : Materials) renderSphere(m, pixels);

    std::vector<uint8_t> file = {0xAB, 0x4B, 0x54, 0x58, 0x20, 0x31, 0x31, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};
    put32(file, 0x04030201);  // endianness
    put32(file, 0x1401);      // glType UNSIGNED_BYTE
    put32(file, 1);           // glTypeSize
    put32(file, 0x1908);      // glFormat RGBA
    put32(file, 0x8058);      // glInternalFormat RGBA8
    put32(file, 0x1908);      // glBaseInternalFormat RGBA
    put32(file, Size);        // pixelWidth
    put32(file, Size);        // pixelHeight
    put32(file, 0);           // pixelDepth
    put32(file, layers);      // numberOfArrayElements
    put32(file, 1);           // numberOfFaces
    put32(file, 1);           // numberOfMipmapLevels
    put32(file, 0);           // bytesOfKeyValueData
    put32(file, static_cast<uint32_t>(pixels.size()));
    file.insert(file.end(), pixels.begin(), pixels.end());

    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
