// The production images as the renderer sees them: the sprite's glow, and the
// cube-map cross cut by the renderer's own slicing, checked for seams.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "Textures.h"
#include "render/CubeCross.h"
#include "tests/support/scratch_dir.h"

namespace {

struct Loaded {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
};

bool Load(const std::string& path, Loaded& out) {
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &out.width, &out.height, &channels, 4);
    if (!pixels) return false;
    out.rgba.assign(pixels, pixels + size_t(out.width) * out.height * 4);
    stbi_image_free(pixels);
    return true;
}

TEST(Sprite, SoftRoundGlowFadingToNothingAtTheEdge) {
    const std::string path = TESSEL_SHOW_DIR "/Textures/Floater2.png";
    Loaded img;
    ASSERT_TRUE(Load(path, img)) << path;
    EXPECT_EQ(img.width, 64);
    EXPECT_EQ(img.height, 64);
    const size_t bytes = ReadFileBytes(path).size();
    EXPECT_GT(bytes, 100u);
    EXPECT_LT(bytes, 8192u);
    auto alpha = [&](int x, int y) { return int(img.rgba[(size_t(y) * img.width + x) * 4 + 3]); };
    EXPECT_GE(alpha(31, 31), 240);
    EXPECT_GE(alpha(32, 32), 240);
    for (int i = 0; i < 64; ++i) {
        EXPECT_LE(alpha(i, 0), 2) << i;
        EXPECT_LE(alpha(i, 63), 2) << i;
        EXPECT_LE(alpha(0, i), 2) << i;
        EXPECT_LE(alpha(63, i), 2) << i;
    }
    EXPECT_EQ(alpha(0, 0), 0);
    // Falls steadily from the centre outwards, and is round.
    for (int x = 33; x < 64; ++x) EXPECT_LE(alpha(x, 32), alpha(x - 1, 32)) << x;
    for (int d = 0; d < 32; ++d) EXPECT_NEAR(alpha(32 + d, 32), alpha(32, 32 + d), 1) << d;
    // A glow, not a disc: half way out it is well below the centre but still visible.
    EXPECT_GT(alpha(48, 32), 20);
    EXPECT_LT(alpha(48, 32), 200);
}

// GL's choice of face and texel for a direction (the major axis and its s, t).
void DirectionToTexel(const double d[3], int faceSize, int& face, int& column, int& row) {
    const double ax = std::fabs(d[0]), ay = std::fabs(d[1]), az = std::fabs(d[2]);
    double sc, tc, ma;
    if (ax >= ay && ax >= az) {
        face = d[0] > 0 ? 0 : 1;
        ma = ax;
        sc = d[0] > 0 ? -d[2] : d[2];
        tc = -d[1];
    } else if (ay >= az) {
        face = d[1] > 0 ? 2 : 3;
        ma = ay;
        sc = d[0];
        tc = d[1] > 0 ? d[2] : -d[2];
    } else {
        face = d[2] > 0 ? 4 : 5;
        ma = az;
        sc = d[2] > 0 ? d[0] : -d[0];
        tc = -d[1];
    }
    const double s = (sc / ma + 1.0) * 0.5, t = (tc / ma + 1.0) * 0.5;
    column = std::min(faceSize - 1, std::max(0, int(std::floor(s * faceSize))));
    row = std::min(faceSize - 1, std::max(0, int(std::floor(t * faceSize))));
}

struct SeamReport {
    double seam = 0;      // mean difference across the edge, per channel
    double interior = 0;  // mean difference between the edge and the next texel inward
};

// Walks every edge of every face and compares each edge texel with the texel
// GL samples just beyond the edge, on the neighbouring face.
std::vector<SeamReport> MeasureSeams(const std::vector<std::vector<unsigned char>>& faces, int n) {
    std::vector<SeamReport> reports;
    auto texel = [&](int face, int column, int row) { return &faces[face][(size_t(row) * n + column) * 4]; };
    for (int face = 0; face < 6; ++face)
        for (int edge = 0; edge < 4; ++edge) {
            SeamReport report;
            for (int i = 0; i < n; ++i) {
                int column, row, outColumn, outRow, inColumn, inRow;
                switch (edge) {
                case 0: column = i; row = 0; outColumn = i; outRow = -1; inColumn = i; inRow = 1; break;
                case 1: column = i; row = n - 1; outColumn = i; outRow = n; inColumn = i; inRow = n - 2; break;
                case 2: column = 0; row = i; outColumn = -1; outRow = i; inColumn = 1; inRow = i; break;
                default: column = n - 1; row = i; outColumn = n; outRow = i; inColumn = n - 2; inRow = i; break;
                }
                double d[3];
                CubeFaceDirection(face, n, outColumn, outRow, d);
                int otherFace, otherColumn, otherRow;
                DirectionToTexel(d, n, otherFace, otherColumn, otherRow);
                EXPECT_NE(otherFace, face);
                const unsigned char* a = texel(face, column, row);
                const unsigned char* b = texel(otherFace, otherColumn, otherRow);
                const unsigned char* c = texel(face, inColumn, inRow);
                for (int k = 0; k < 3; ++k) {
                    report.seam += std::abs(int(a[k]) - int(b[k]));
                    report.interior += std::abs(int(a[k]) - int(c[k]));
                }
            }
            report.seam /= 3.0 * n;
            report.interior /= 3.0 * n;
            reports.push_back(report);
        }
    return reports;
}

class CubeMap : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        image = new Loaded();
        loaded = Load(TESSEL_SHOW_DIR "/Textures/CubeMapTest.jpg", *image);
    }
    static void TearDownTestSuite() { delete image; }
    void SetUp() override { ASSERT_TRUE(loaded) << "the build should have made Textures/CubeMapTest.jpg"; }
    static std::vector<std::vector<unsigned char>> SliceAll() {
        std::vector<std::vector<unsigned char>> faces(6);
        for (int f = 0; f < 6; ++f)
            EXPECT_TRUE(SliceCubeCrossFace(image->rgba.data(), image->height, image->width, f, faces[f]));
        return faces;
    }
    static Loaded* image;
    static bool loaded;
};
Loaded* CubeMap::image = nullptr;
bool CubeMap::loaded = false;

TEST_F(CubeMap, IsAVerticalCrossOf512Faces) {
    EXPECT_EQ(image->width, 1536);
    EXPECT_EQ(image->height, 2048);
    CubeCrossLayout layout;
    ASSERT_TRUE(CubeCrossFaceSize(image->height, image->width, &layout));
    EXPECT_EQ(layout.faceWidth, 512);
    EXPECT_EQ(layout.faceHeight, 512);
    // The cells the loader never reads are black.
    const int unused[6][2] = {{0, 0}, {0, 2}, {2, 0}, {2, 2}, {3, 0}, {3, 2}};
    for (const auto& cell : unused) {
        double sum = 0;
        for (int y = cell[0] * 512 + 8; y < cell[0] * 512 + 504; y += 7)
            for (int x = cell[1] * 512 + 8; x < cell[1] * 512 + 504; x += 7)
                for (int k = 0; k < 3; ++k) sum += image->rgba[(size_t(y) * 1536 + x) * 4 + k];
        EXPECT_LT(sum / (71.0 * 71.0 * 3.0), 2.0) << cell[0] << "," << cell[1];
    }
}

TEST_F(CubeMap, NeighbouringFacesMeetWithoutSeams) {
    const std::vector<SeamReport> reports = MeasureSeams(SliceAll(), 512);
    ASSERT_EQ(reports.size(), 24u);
    for (size_t i = 0; i < reports.size(); ++i) {
        // Across an edge the picture changes no more than one texel step inside a face.
        EXPECT_LT(reports[i].seam, 1.5 * reports[i].interior + 2.0)
            << "face " << i / 4 << " edge " << i % 4 << ": seam " << reports[i].seam << ", interior "
            << reports[i].interior;
    }
}

// The seam check above would catch a bottom cell stored the wrong way round.
TEST_F(CubeMap, SeamCheckCatchesAnUnturnedBottomFace) {
    std::vector<std::vector<unsigned char>> faces = SliceAll();
    std::vector<unsigned char>& minusZ = faces[5];
    for (int r = 0; r < 512; ++r)
        std::memcpy(&minusZ[size_t(r) * 512 * 4], &image->rgba[(size_t(3 * 512 + r) * 1536 + 512) * 4], 512 * 4);
    const std::vector<SeamReport> reports = MeasureSeams(faces, 512);
    int broken = 0;
    for (const SeamReport& r : reports)
        if (r.seam >= 1.5 * r.interior + 2.0) ++broken;
    EXPECT_GE(broken, 4);
}

// The faces hold the sky the tool draws for GL's directions, JPEG loss aside.
TEST_F(CubeMap, FacesShowTheSkyInGLsDirections) {
    const std::vector<std::vector<unsigned char>> faces = SliceAll();
    for (int f = 0; f < 6; ++f) {
        double diff = 0;
        int count = 0;
        for (int r = 3; r < 512; r += 16)
            for (int c = 5; c < 512; c += 16) {
                double d[3];
                CubeFaceDirection(f, 512, c, r, d);
                unsigned char rgb[3];
                SkyColor(d, 6, rgb);
                for (int k = 0; k < 3; ++k) diff += std::abs(int(rgb[k]) - int(faces[f][(size_t(r) * 512 + c) * 4 + k]));
                count += 3;
            }
        EXPECT_LT(diff / count, 6.0) << "face " << f;
    }
}

TEST(TextureMaker, SpriteAndCrossHaveTheirShapesAtAnySize) {
    const Image sprite = MakeSprite(16);
    ASSERT_EQ(sprite.rgba.size(), 16u * 16u * 4u);
    EXPECT_EQ(sprite.rgba[3], 0);
    EXPECT_GT(sprite.rgba[(8 * 16 + 8) * 4 + 3], 230);
    const Image cross = MakeCubeCross(8, 1);
    EXPECT_EQ(cross.width, 24);
    EXPECT_EQ(cross.height, 32);
    // The -Z cell holds the -Z face turned by 180 degrees: its bottom-right pixel is the face's first.
    double d[3];
    CubeFaceDirection(5, 8, 0, 0, d);
    unsigned char rgb[3];
    SkyColor(d, 1, rgb);
    const unsigned char* px = &cross.rgba[(size_t(31) * 24 + 15) * 4];
    EXPECT_EQ(0, std::memcmp(px, rgb, 3));
}

}  // namespace
