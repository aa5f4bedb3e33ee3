// Slicing a vertical-cross image (three faces wide, four high) into the six
// cube-map faces in GL order (+X, -X, +Y, -Y, +Z, -Z). Pure arithmetic on RGBA
// pixels, usable without a GL context.
#pragma once

#include <cstdint>
#include <vector>

struct CubeCrossLayout {
    int faceWidth = 0;   // width / 3, leftover columns ignored
    int faceHeight = 0;  // height / 4, leftover rows ignored
};

// The face size of a width x height cross; false when a face would hold no
// pixel (or the size is not positive).
bool CubeCrossFaceSize(int height, int width, CubeCrossLayout* layout);

// Copies face `face` (0..5, GL order) of an RGBA cross image of width x height
// into `out` (faceWidth x faceHeight RGBA, top row first). The -Z face is the
// bottom cell turned by 180 degrees. False for a bad face index or a cross too
// small for one pixel per face.
bool SliceCubeCrossFace(const unsigned char* pixels, int height, int width, int face,
                        std::vector<unsigned char>& out);
