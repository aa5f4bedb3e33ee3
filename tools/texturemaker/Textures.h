// Textures: the production's two images, drawn procedurally. The particle
// sprite is a soft round glow; the cube map is a nebula sky with stars and a
// faint glowing lattice, drawn from the 3D view direction so that the faces
// meet without seams, and laid out as a vertical cross (3 x 4 faces).
#pragma once

#include <cstdint>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;  // top row first
};

// A size x size RGBA glow: opaque white-blue at the centre, alpha 0 at and
// beyond the inscribed circle.
Image MakeSprite(int size);

// Direction (not normalised) that GL samples at texel (column, row) of cube
// face `face` (0..5: +X, -X, +Y, -Y, +Z, -Z) of faceSize x faceSize.
void CubeFaceDirection(int face, int faceSize, double column, double row, double dir[3]);

// Colour of the sky in direction dir (any length > 0), 8-bit RGB.
void SkyColor(const double dir[3], uint32_t seed, unsigned char rgb[3]);

// The vertical cross (3 faces wide, 4 high): +Y at row 0 column 1; -X, +Z, +X
// in row 1; -Y at row 2 column 1; -Z at row 3 column 1 turned by 180 degrees.
// Unused cells are opaque black.
Image MakeCubeCross(int faceSize, uint32_t seed);
