// Build-time generator of the 512x512 RGBA window icon: a shaded triangle
// mesh motif on a rounded tile.
// Usage: tamrel-make-icon OUTPUT.png

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {
constexpr int Size = 512;

double edgeDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> px(size_t(Size) * Size * 4, 0);
    const double corner = 90.0, margin = 16.0;
    // A triangulated lattice clipped to a large triangle.
    const double cell = 64.0;
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            const double fx = x + 0.5, fy = y + 0.5;
            // Rounded tile coverage.
            const double qx = std::max(std::abs(fx - Size / 2.0) - (Size / 2.0 - margin - corner), 0.0);
            const double qy = std::max(std::abs(fy - Size / 2.0) - (Size / 2.0 - margin - corner), 0.0);
            const double tile = std::clamp(corner - std::hypot(qx, qy) + 0.5, 0.0, 1.0);
            if (tile <= 0.0) continue;

            const double t = fy / Size;
            double r = 0.10 + 0.10 * t, g = 0.16 + 0.14 * t, b = 0.30 + 0.20 * t;

            // Big triangle: apex top centre, base near the bottom.
            const double ax = 256, ay = 80, bx = 96, by = 420, cx = 416, cy = 420;
            const double s1 = (bx - ax) * (fy - ay) - (by - ay) * (fx - ax);
            const double s2 = (cx - bx) * (fy - by) - (cy - by) * (fx - bx);
            const double s3 = (ax - cx) * (fy - cy) - (ay - cy) * (fx - cx);
            const bool inside = (s1 <= 0 && s2 <= 0 && s3 <= 0) || (s1 >= 0 && s2 >= 0 && s3 >= 0);
            if (inside) {
                const double shade = 0.55 + 0.45 * (1.0 - (fy - ay) / (by - ay));
                r = 0.95 * shade;
                g = 0.62 * shade;
                b = 0.25 * shade;
                // Lattice lines: horizontal rows and two diagonal families.
                const double u = std::fmod(fy - ay, cell);
                const double v = std::fmod((fy - ay) * 0.5 + (fx - 256) * 0.85 + 1024 * cell, cell);
                const double w = std::fmod((fy - ay) * 0.5 - (fx - 256) * 0.85 + 1024 * cell, cell);
                const double line = std::min({u, cell - u, v, cell - v, w, cell - w});
                if (line < 2.5) r = g = b = 0.97;
            }
            const double outline = std::min({edgeDistance(fx, fy, ax, ay, bx, by),
                                             edgeDistance(fx, fy, bx, by, cx, cy),
                                             edgeDistance(fx, fy, cx, cy, ax, ay)});
            if (outline < 5.0) r = g = b = 1.0;

            uint8_t* p = &px[(size_t(y) * Size + x) * 4];
            p[0] = static_cast<uint8_t>(std::lround(r * 255));
            p[1] = static_cast<uint8_t>(std::lround(g * 255));
            p[2] = static_cast<uint8_t>(std::lround(b * 255));
            p[3] = static_cast<uint8_t>(std::lround(tile * 255));
        }
    }
    if (!stbi_write_png(argv[1], Size, Size, 4, px.data(), Size * 4)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
