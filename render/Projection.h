// The renderer's matrices and the loading bar's quads as pure arithmetic,
// usable without a GL context.
#pragma once

#include <glm/glm.hpp>

// 60 degree vertical field of view, aspect width / height, near 1, far 10000.
// False (out untouched) when the size gives no finite positive aspect, as for
// a window minimised to zero height.
bool BuildPerspective(float width, float height, glm::mat4* out);

// Pixel coordinates centred on the window: x from -width/2 to width/2, y from
// -height/2 to height/2, near 1, far 10000. False (out untouched) for an
// empty size, which would divide by zero.
bool BuildOrtho(float width, float height, glm::mat4* out);

// The loading bar's two quads in triangle-strip order, (x, y) pairs in pixels
// from the window centre: the bar spans 75 % of the width, the frame is 4
// pixels larger on every side.
struct LoadingBarQuads {
    float bar[8];
    float frame[8];
};
LoadingBarQuads BuildLoadingBarQuads(float width, float height);
