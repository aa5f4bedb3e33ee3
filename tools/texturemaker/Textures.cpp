// Textures: procedural sprite and sky. Noise is a seeded 3D value noise, so
// the sky is a pure function of direction and seed.
#include "Textures.h"

#include <algorithm>
#include <cmath>

namespace {

double Clamp01(double x) { return std::min(1.0, std::max(0.0, x)); }

double SmoothStep(double a, double b, double x) {
    const double t = Clamp01((x - a) / (b - a));
    return t * t * (3.0 - 2.0 * t);
}

uint32_t Hash(int x, int y, int z, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u;
    h ^= uint32_t(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= uint32_t(y) * 0xC2B2AE3Du;
    h = (h << 13) | (h >> 19);
    h ^= uint32_t(z) * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

double HashUnit(int x, int y, int z, uint32_t seed) { return (Hash(x, y, z, seed) >> 8) * (1.0 / 16777216.0); }

// Smoothly interpolated lattice noise in [0, 1).
double ValueNoise(double x, double y, double z, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int ix = int(fx), iy = int(fy), iz = int(fz);
    const double tx = x - fx, ty = y - fy, tz = z - fz;
    const double u = tx * tx * (3 - 2 * tx), v = ty * ty * (3 - 2 * ty), w = tz * tz * (3 - 2 * tz);
    double c[2][2][2];
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
            for (int d = 0; d < 2; ++d) c[a][b][d] = HashUnit(ix + a, iy + b, iz + d, seed);
    const double x00 = c[0][0][0] + u * (c[1][0][0] - c[0][0][0]);
    const double x10 = c[0][1][0] + u * (c[1][1][0] - c[0][1][0]);
    const double x01 = c[0][0][1] + u * (c[1][0][1] - c[0][0][1]);
    const double x11 = c[0][1][1] + u * (c[1][1][1] - c[0][1][1]);
    const double y0 = x00 + v * (x10 - x00);
    const double y1 = x01 + v * (x11 - x01);
    return y0 + w * (y1 - y0);
}

double Fbm(double x, double y, double z, int octaves, uint32_t seed) {
    double sum = 0, amp = 0.5, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * ValueNoise(x, y, z, seed + uint32_t(o) * 101u);
        norm += amp;
        amp *= 0.5;
        x = x * 2.03 + 17.1;
        y = y * 2.03 - 5.3;
        z = z * 2.03 + 9.7;
    }
    return sum / norm;
}

// Star field: one candidate star per cell of a 3D grid around the unit sphere.
double Stars(const double p[3], double scale, double density, double radius, uint32_t seed) {
    const double q[3] = {p[0] * scale, p[1] * scale, p[2] * scale};
    // Stars are far smaller than a cell, so only the cell and its neighbours on
    // the near side along each axis can light this point.
    int c[3], step[3];
    for (int k = 0; k < 3; ++k) {
        const double f = std::floor(q[k]);
        c[k] = int(f);
        step[k] = q[k] - f < 0.5 ? -1 : 1;
    }
    double light = 0;
    for (int dx = 0; dx < 2; ++dx)
        for (int dy = 0; dy < 2; ++dy)
            for (int dz = 0; dz < 2; ++dz) {
                const int x = c[0] + dx * step[0], y = c[1] + dy * step[1], z = c[2] + dz * step[2];
                if (HashUnit(x, y, z, seed) > density) continue;
                const double sx = x + HashUnit(x, y, z, seed + 1);
                const double sy = y + HashUnit(x, y, z, seed + 2);
                const double sz = z + HashUnit(x, y, z, seed + 3);
                const double d2 = (q[0] - sx) * (q[0] - sx) + (q[1] - sy) * (q[1] - sy) + (q[2] - sz) * (q[2] - sz);
                const double brightness = 0.35 + 0.65 * HashUnit(x, y, z, seed + 4);
                light += brightness * std::exp(-d2 / (radius * radius));
            }
    return light;
}

}  // namespace

Image MakeSprite(int size) {
    Image img;
    img.width = img.height = size;
    img.rgba.resize(size_t(size) * size * 4);
    const double half = size * 0.5;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = (x + 0.5 - half) / half, dy = (y + 0.5 - half) / half;
            const double r2 = dx * dx + dy * dy;
            double a = 0;
            if (r2 < 1.0) {
                const double falloff = (1.0 - r2) * (1.0 - r2);
                a = 0.6 * falloff + 0.4 * std::exp(-r2 * 14.0) * falloff;
                a = Clamp01(a * 1.05);
            }
            // White at the heart, a touch of blue toward the rim.
            const double white = std::exp(-r2 * 4.0);
            unsigned char* px = &img.rgba[(size_t(y) * size + x) * 4];
            px[0] = (unsigned char)std::lround(255 * (0.78 + 0.22 * white));
            px[1] = (unsigned char)std::lround(255 * (0.88 + 0.12 * white));
            px[2] = 255;
            px[3] = (unsigned char)std::lround(255 * a);
        }
    return img;
}

void CubeFaceDirection(int face, int faceSize, double column, double row, double dir[3]) {
    // GL cube-map addressing: s runs along the columns, t down the rows.
    const double sc = 2.0 * (column + 0.5) / faceSize - 1.0;
    const double tc = 2.0 * (row + 0.5) / faceSize - 1.0;
    switch (face) {
    case 0: dir[0] = 1;   dir[1] = -tc; dir[2] = -sc; break;
    case 1: dir[0] = -1;  dir[1] = -tc; dir[2] = sc;  break;
    case 2: dir[0] = sc;  dir[1] = 1;   dir[2] = tc;  break;
    case 3: dir[0] = sc;  dir[1] = -1;  dir[2] = -tc; break;
    case 4: dir[0] = sc;  dir[1] = -tc; dir[2] = 1;   break;
    default: dir[0] = -sc; dir[1] = -tc; dir[2] = -1; break;
    }
}

void SkyColor(const double dir[3], uint32_t seed, unsigned char rgb[3]) {
    const double len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
    const double p[3] = {dir[0] / len, dir[1] / len, dir[2] / len};

    // Nebula: warped fractal noise, two hues of cloud over a deep blue.
    const double wx = Fbm(p[0] * 2.0 + 3.1, p[1] * 2.0, p[2] * 2.0, 3, seed + 11);
    const double wy = Fbm(p[0] * 2.0, p[1] * 2.0 - 7.4, p[2] * 2.0, 3, seed + 23);
    const double cloud = Fbm(p[0] * 2.2 + wx * 1.6, p[1] * 2.2 + wy * 1.6, p[2] * 2.2, 5, seed + 37);
    const double tint = Fbm(p[0] * 1.3 - 4.0, p[1] * 1.3 + 2.0, p[2] * 1.3 + wy, 3, seed + 53);
    const double dense = SmoothStep(0.38, 0.78, cloud);
    const double core = SmoothStep(0.6, 0.85, cloud);
    const double violet = SmoothStep(0.45, 0.7, tint);

    double r = 0.02 + 0.03 * (p[1] * 0.5 + 0.5);
    double g = 0.03 + 0.02 * (p[1] * 0.5 + 0.5);
    double b = 0.09 + 0.05 * (p[1] * 0.5 + 0.5);
    // Teal-blue cloud (the particles' hue) shading to violet.
    r += dense * (0.10 + 0.45 * violet);
    g += dense * (0.38 - 0.22 * violet);
    b += dense * (0.62 - 0.05 * violet);
    r += core * (0.35 + 0.3 * violet);
    g += core * 0.3;
    b += core * 0.25;

    // A faint glowing lattice: circles where the direction crosses evenly spaced planes.
    double line = 0;
    for (int k = 0; k < 3; ++k) {
        const double v = p[k] * 5.0;
        const double d = std::fabs(v - std::round(v));
        line += std::exp(-(d * d) / (0.018 * 0.018));
    }
    const double latticeGlow = std::min(1.0, line) * (0.25 + 0.5 * dense);
    r += latticeGlow * 0.10;
    g += latticeGlow * 0.30;
    b += latticeGlow * 0.45;

    const double stars = Stars(p, 90.0, 0.35, 0.10, seed + 71) * (0.6 + 0.6 * dense) +
                         Stars(p, 24.0, 0.25, 0.05, seed + 97) * 1.4;
    r += stars * 0.9;
    g += stars * 0.92;
    b += stars;

    const double out[3] = {r, g, b};
    for (int c = 0; c < 3; ++c) {
        // Gentle shoulder so bright stars and cores do not band at white.
        const double v = 1.0 - std::exp(-out[c] * 1.6);
        rgb[c] = (unsigned char)std::lround(255.0 * Clamp01(v / (1.0 - std::exp(-1.6))));
    }
}

Image MakeCubeCross(int faceSize, uint32_t seed) {
    Image img;
    img.width = faceSize * 3;
    img.height = faceSize * 4;
    img.rgba.assign(size_t(img.width) * img.height * 4, 0);
    for (size_t i = 3; i < img.rgba.size(); i += 4) img.rgba[i] = 255;
    // Cell (row, column) of each face in GL order.
    static const int cellRow[6] = {1, 1, 0, 2, 1, 3};
    static const int cellColumn[6] = {2, 0, 1, 1, 1, 1};
    for (int face = 0; face < 6; ++face)
        for (int r = 0; r < faceSize; ++r)
            for (int c = 0; c < faceSize; ++c) {
                double dir[3];
                CubeFaceDirection(face, faceSize, c, r, dir);
                unsigned char rgb[3];
                SkyColor(dir, seed, rgb);
                int x = cellColumn[face] * faceSize + c;
                int y = cellRow[face] * faceSize + r;
                if (face == 5) {
                    // Stored turned by 180 degrees.
                    x = cellColumn[face] * faceSize + (faceSize - 1 - c);
                    y = cellRow[face] * faceSize + (faceSize - 1 - r);
                }
                unsigned char* px = &img.rgba[(size_t(y) * img.width + x) * 4];
                px[0] = rgb[0];
                px[1] = rgb[1];
                px[2] = rgb[2];
            }
    return img;
}
