// RGBA to yuv420p in fixed point: BT.709 weights (Kr 0.2126, Kb 0.0722)
// scaled to limited range and to 2^15, rounded to the nearest integer (each
// off by at most 0.005 of a step over 0..255), the chroma ones adjusted to
// sum to zero so that greys get exactly 128. Pictures go by 2x2 blocks, two
// rows at a time, in a loop plain enough for the compiler to vectorise: sums
// of 8-bit by 16-bit products in 32 bits, no branches.
#include "capture/RgbaToYuv420.h"

namespace {

constexpr int kShift = 15;
// 219/255 * (Kr, Kg, Kb) * 2^15.
constexpr int kYR = 5983, kYG = 20127, kYB = 2032;
// 224/255 * (-Kr, -Kg, 1 - Kb) / (2 - 2 Kb) * 2^15.
constexpr int kUR = -3298, kUG = -11094, kUB = 14392;
// 224/255 * (1 - Kr, -Kg, -Kb) / (2 - 2 Kr) * 2^15.
constexpr int kVR = 14392, kVG = -13072, kVB = -1320;
static_assert(kUR + kUG + kUB == 0 && kVR + kVG + kVB == 0, "greys need chroma 128");

// The offset and half a step, so that the shift rounds to the nearest.
constexpr int kYOffset = (16 << kShift) + (1 << (kShift - 1));
// Chroma sums four pixels: two more bits to shift away.
constexpr int kCOffset = (128 << (kShift + 2)) + (1 << (kShift + 1));

inline uint8_t Luma(int r, int g, int b) {
    return static_cast<uint8_t>((kYR * r + kYG * g + kYB * b + kYOffset) >> kShift);
}

// Chroma from the sums of four pixels' channels.
inline uint8_t ChromaU(int r, int g, int b) {
    return static_cast<uint8_t>((kUR * r + kUG * g + kUB * b + kCOffset) >> (kShift + 2));
}
inline uint8_t ChromaV(int r, int g, int b) {
    return static_cast<uint8_t>((kVR * r + kVG * g + kVB * b + kCOffset) >> (kShift + 2));
}

// `pairs` whole 2x2 blocks from the picture rows `upper` and `lower` into
// two luma rows and one chroma row. `lower` and `lumaLower` may repeat the
// upper ones (the last row of an odd height), hence no restrict on the luma
// rows: the compiler checks for the overlap and takes the plain loop there.
void BlockRow(const uint8_t* __restrict upper, const uint8_t* __restrict lower, uint8_t* lumaUpper,
              uint8_t* lumaLower, uint8_t* __restrict u, uint8_t* __restrict v, int pairs) {
    for (int x = 0; x < pairs; ++x) {
        const uint8_t* a = upper + 8 * x;
        const uint8_t* b = lower + 8 * x;
        lumaUpper[2 * x] = Luma(a[0], a[1], a[2]);
        lumaUpper[2 * x + 1] = Luma(a[4], a[5], a[6]);
        lumaLower[2 * x] = Luma(b[0], b[1], b[2]);
        lumaLower[2 * x + 1] = Luma(b[4], b[5], b[6]);
        const int r = a[0] + a[4] + b[0] + b[4], g = a[1] + a[5] + b[1] + b[5], bl = a[2] + a[6] + b[2] + b[6];
        u[x] = ChromaU(r, g, bl);
        v[x] = ChromaV(r, g, bl);
    }
}

}  // namespace

void RgbaToYuv420(const uint8_t* top, ptrdiff_t rgbaStride, int width, int height, uint8_t* const planes[3],
                  const int planeStrides[3]) {
    if (width <= 0 || height <= 0) return;
    const int pairs = width / 2;
    for (int row = 0; row < height; row += 2) {
        const bool single = row + 1 == height;
        const uint8_t* upper = top + row * rgbaStride;
        const uint8_t* lower = single ? upper : upper + rgbaStride;
        uint8_t* lumaUpper = planes[0] + static_cast<ptrdiff_t>(row) * planeStrides[0];
        uint8_t* lumaLower = single ? lumaUpper : lumaUpper + planeStrides[0];
        uint8_t* u = planes[1] + static_cast<ptrdiff_t>(row / 2) * planeStrides[1];
        uint8_t* v = planes[2] + static_cast<ptrdiff_t>(row / 2) * planeStrides[2];
        BlockRow(upper, lower, lumaUpper, lumaLower, u, v, pairs);
        if (width % 2) {
            // The last column of an odd width stands for both of its block's columns.
            const uint8_t* a = upper + 8 * pairs;
            const uint8_t* b = lower + 8 * pairs;
            lumaUpper[2 * pairs] = Luma(a[0], a[1], a[2]);
            lumaLower[2 * pairs] = Luma(b[0], b[1], b[2]);
            const int r = 2 * (a[0] + b[0]), g = 2 * (a[1] + b[1]), bl = 2 * (a[2] + b[2]);
            u[pairs] = ChromaU(r, g, bl);
            v[pairs] = ChromaV(r, g, bl);
        }
    }
}
