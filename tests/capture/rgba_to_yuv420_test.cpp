// The capture's RGBA to yuv420p conversion against BT.709 worked out in
// floating point: every sample rounded to the nearest of the exact value, at
// odd and even sizes, from top-down and bottom-up rows, and nothing written
// past a plane row's width.
#include "capture/RgbaToYuv420.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double kKr = 0.2126, kKb = 0.0722, kKg = 1 - kKr - kKb;

struct Yuv {
    double y, u, v;
};

// Exact limited-range BT.709 of one colour.
Yuv Bt709(double r, double g, double b) {
    const double luma = kKr * r + kKg * g + kKb * b;
    return {16 + 219 / 255.0 * luma, 128 + 224 / 255.0 * (b - luma) / (2 - 2 * kKb),
            128 + 224 / 255.0 * (r - luma) / (2 - 2 * kKr)};
}

// A top-down RGBA picture with `padding` spare bytes after each row.
struct Picture {
    int width, height;
    int stride;
    std::vector<uint8_t> bytes;

    const uint8_t* Pixel(int x, int y) const { return &bytes[static_cast<size_t>(y) * stride + 4 * x]; }
};

Picture RandomPicture(int width, int height, int padding, unsigned seed) {
    Picture picture{width, height, width * 4 + padding, {}};
    picture.bytes.resize(static_cast<size_t>(picture.stride) * height);
    std::mt19937 random(seed);
    for (uint8_t& byte : picture.bytes) byte = static_cast<uint8_t>(random() >> 24);
    return picture;
}

// The three planes, each row `padding` bytes wider than its samples and
// filled with a marker the conversion must leave alone.
struct Planes {
    static constexpr uint8_t kUntouched = 0xA5;
    int width, height, padding;
    std::vector<uint8_t> data[3];
    int strides[3];

    Planes(int width, int height, int padding) : width(width), height(height), padding(padding) {
        for (int i = 0; i < 3; ++i) {
            const int sampleWidth = i ? (width + 1) / 2 : width, rows = i ? (height + 1) / 2 : height;
            strides[i] = sampleWidth + padding;
            data[i].assign(static_cast<size_t>(strides[i]) * rows, kUntouched);
        }
    }
    int At(int plane, int x, int y) const { return data[plane][static_cast<size_t>(y) * strides[plane] + x]; }
};

Planes Convert(const Picture& picture, bool bottomUp, int planePadding) {
    Planes planes(picture.width, picture.height, planePadding);
    uint8_t* pointers[3] = {planes.data[0].data(), planes.data[1].data(), planes.data[2].data()};
    if (!bottomUp) {
        RgbaToYuv420(picture.bytes.data(), picture.stride, picture.width, picture.height, pointers, planes.strides);
        return planes;
    }
    // The same picture stored bottom-up, as glReadPixels returns it.
    std::vector<uint8_t> flipped(picture.bytes.size());
    for (int y = 0; y < picture.height; ++y)
        std::copy_n(picture.Pixel(0, y), picture.stride,
                    &flipped[static_cast<size_t>(picture.height - 1 - y) * picture.stride]);
    const uint8_t* top = &flipped[static_cast<size_t>(picture.height - 1) * picture.stride];
    RgbaToYuv420(top, -static_cast<ptrdiff_t>(picture.stride), picture.width, picture.height, pointers,
                 planes.strides);
    return planes;
}

// Checks every sample against the exact value: rounding to the nearest
// leaves at most half a step, the fixed-point weights add less than 1/64.
void ExpectExact(const Picture& picture, const Planes& planes) {
    constexpr double kTolerance = 0.5 + 1 / 64.0;
    int failures = 0;
    for (int y = 0; y < picture.height && failures < 5; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.Pixel(x, y);
            const double exact = Bt709(p[0], p[1], p[2]).y;
            if (std::fabs(planes.At(0, x, y) - exact) > kTolerance && ++failures <= 5)
                ADD_FAILURE() << "Y at " << x << "," << y << ": " << planes.At(0, x, y) << " for " << exact;
        }
    }
    for (int cy = 0; cy < (picture.height + 1) / 2; ++cy) {
        for (int cx = 0; cx < (picture.width + 1) / 2; ++cx) {
            // The block's mean colour, its last column and row repeated past the picture's edge.
            double sum[3] = {};
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const uint8_t* p = picture.Pixel(std::min(2 * cx + dx, picture.width - 1),
                                                     std::min(2 * cy + dy, picture.height - 1));
                    for (int c = 0; c < 3; ++c) sum[c] += p[c];
                }
            const Yuv exact = Bt709(sum[0] / 4, sum[1] / 4, sum[2] / 4);
            const double expected[2] = {exact.u, exact.v};
            for (int plane = 1; plane <= 2; ++plane) {
                const int got = planes.At(plane, cx, cy);
                if (std::fabs(got - expected[plane - 1]) > kTolerance && ++failures <= 5)
                    ADD_FAILURE() << (plane == 1 ? "U" : "V") << " at " << cx << "," << cy << ": " << got << " for "
                                  << expected[plane - 1];
            }
        }
    }
}

void ExpectPaddingUntouched(const Planes& planes) {
    const int widths[3] = {planes.width, (planes.width + 1) / 2, (planes.width + 1) / 2};
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = static_cast<int>(planes.data[plane].size()) / planes.strides[plane];
        for (int y = 0; y < rows; ++y)
            for (int x = widths[plane]; x < planes.strides[plane]; ++x)
                ASSERT_EQ(planes.At(plane, x, y), Planes::kUntouched) << "plane " << plane << " row " << y;
    }
}

TEST(RgbaToYuv420, RandomPicturesOfEveryParityMatchTheExactConversion) {
    const int sizes[][2] = {{1, 1},  {2, 2},  {1, 4},   {5, 1},  {3, 3},
                            {16, 8}, {33, 17}, {64, 31}, {127, 2}, {200, 113}};
    unsigned seed = 1;
    for (const auto& size : sizes) {
        for (const bool bottomUp : {false, true}) {
            SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]
                                            << (bottomUp ? " bottom-up" : " top-down"));
            const Picture picture = RandomPicture(size[0], size[1], 12, seed++);
            const Planes planes = Convert(picture, bottomUp, 7);
            ExpectExact(picture, planes);
            ExpectPaddingUntouched(planes);
        }
    }
}

}  // namespace
