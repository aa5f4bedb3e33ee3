// RGBA pictures to yuv420p planes for the capture's video encoder: BT.709
// matrix, limited range (luma 16-235, chroma 16-240), each chroma sample the
// rounded conversion of the mean colour of its 2x2 block of pixels. Alpha is
// ignored. Odd widths and heights repeat the last column and row inside
// their block. Integer arithmetic only, so the same picture gives the same
// bytes on every machine and build.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the width x height picture whose top row starts at `top` into the
// three planes (Y full size, U and V rounded-up halves). Rows lie
// `rgbaStride` bytes apart; a negative stride reads bottom-up pictures from
// their last row. Plane rows lie `planeStrides[i]` bytes apart; bytes past
// each row's width are left as they are.
void RgbaToYuv420(const uint8_t* top, ptrdiff_t rgbaStride, int width, int height, uint8_t* const planes[3],
                  const int planeStrides[3]);
