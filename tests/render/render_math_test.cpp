// Arithmetic of the renderer without a GL context: projections, the loading
// bar's quads, the camera's view matrix, cube-cross face slicing and reading
// shader sources.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "render/Camera.h"
#include "render/CubeCross.h"
#include "render/Projection.h"
#include "render/ShaderProgram.h"
#include "tests/support/coded_pixels.h"
#include "tests/support/scratch_dir.h"

namespace {

const float* Elements(const glm::mat4& m) { return &m[0][0]; }

glm::vec3 EyePoint(const Camera& camera, glm::vec3 world) {
    glm::mat4 view;
    return glm::vec3(*camera.ViewMatrix(view) * glm::vec4(world, 1.0f));
}

void ExpectNear(glm::vec3 actual, glm::vec3 expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4f);
    EXPECT_NEAR(actual.y, expected.y, 1e-4f);
    EXPECT_NEAR(actual.z, expected.z, 1e-4f);
}

}  // namespace

TEST(Projection, PerspectiveElements) {
    glm::mat4 m;
    ASSERT_TRUE(BuildPerspective(1280, 720, &m));
    const float* e = Elements(m);
    EXPECT_FLOAT_EQ(e[11], -1.0f);
    EXPECT_FLOAT_EQ(e[15], 0.0f);
    EXPECT_NEAR(e[10], -1.0002f, 1e-4f);
    EXPECT_NEAR(e[14], -2.0002f, 1e-4f);
    EXPECT_NEAR(e[5], 1.0f / std::tan(glm::radians(30.0f)), 1e-5f);
}

TEST(Projection, SizesOf800By600) {
    glm::mat4 perspective, ortho;
    ASSERT_TRUE(BuildPerspective(800, 600, &perspective));
    ASSERT_TRUE(BuildOrtho(800, 600, &ortho));
    EXPECT_FLOAT_EQ(Elements(perspective)[0], Elements(perspective)[5] / (800.0f / 600.0f));
    EXPECT_FLOAT_EQ(Elements(ortho)[0], 2.0f / 800.0f);
    EXPECT_FLOAT_EQ(Elements(ortho)[5], 2.0f / 600.0f);
    EXPECT_FLOAT_EQ(Elements(ortho)[15], 1.0f);
    // Pixel coordinates from the centre: the right edge lands on x = 1.
    glm::vec4 edge = ortho * glm::vec4(400.0f, -300.0f, -2.0f, 1.0f);
    EXPECT_FLOAT_EQ(edge.x, 1.0f);
    EXPECT_FLOAT_EQ(edge.y, -1.0f);
}

TEST(Projection, EmptySizesLeaveTheMatricesAlone) {
    const glm::mat4 before = glm::mat4(2.0f);
    for (auto size : {std::pair<float, float>{800, 0}, {0, 600}, {0, 0}, {-5, 10}}) {
        glm::mat4 perspective = before, ortho = before;
        EXPECT_FALSE(BuildPerspective(size.first, size.second, &perspective));
        EXPECT_FALSE(BuildOrtho(size.first, size.second, &ortho));
        EXPECT_EQ(perspective, before);
        EXPECT_EQ(ortho, before);
    }
}

TEST(LoadingBarGeometry, CornersAt1280By720) {
    const LoadingBarQuads q = BuildLoadingBarQuads(1280, 720);
    const float y = 360.0f - 720.0f / 2.05f;
    const float bar[8] = {-480, y, -480, -y, 480, y, 480, -y};
    const float frame[8] = {-484, y + 4, -484, -y - 4, 484, y + 4, 484, -y - 4};
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(q.bar[i], bar[i]) << i;
        EXPECT_FLOAT_EQ(q.frame[i], frame[i]) << i;
    }
    EXPECT_NEAR(q.bar[1], 8.7805f, 1e-4f);
    EXPECT_NEAR(q.frame[1], 12.7805f, 1e-4f);
    // 960 x 17.56 and 968 x 25.56.
    EXPECT_NEAR(q.bar[4] - q.bar[0], 960.0f, 1e-4f);
    EXPECT_NEAR(q.bar[1] - q.bar[3], 17.561f, 1e-3f);
    EXPECT_NEAR(q.frame[1] - q.frame[3], 25.561f, 1e-3f);
}

TEST(CameraView, DefaultsAndOffsets) {
    Camera camera;
    glm::mat4 view;
    EXPECT_EQ(camera.ViewMatrix(view), &view);
    EXPECT_EQ(glm::mat3(view), glm::mat3(1.0f));
    EXPECT_EQ(view[3], glm::vec4(0, 0, -24, 1));

    camera.distance = 0;
    camera.ViewMatrix(view);
    EXPECT_EQ(view[3], glm::vec4(0, 0, -12, 1));

    camera.offset = glm::vec3(1, 2, 3);
    camera.ViewMatrix(view);
    EXPECT_EQ(view[3], glm::vec4(-1, -2, -15, 1));
}

TEST(CameraView, YawAndPitchTurnAboutTheOffset) {
    Camera yawed;
    yawed.yaw = 90;
    ExpectNear(EyePoint(yawed, {1, 0, 0}), {0, 0, -25});
    ExpectNear(EyePoint(yawed, {0, 0, 1}), {1, 0, -24});

    Camera pitched;
    pitched.pitch = 90;
    ExpectNear(EyePoint(pitched, {0, 1, 0}), {0, 0, -23});
}

TEST(CubeCross, FacesOf1536By2048) {
    const int width = 1536, height = 2048;
    const std::vector<unsigned char> image = PositionCoded(width, height);
    CubeCrossLayout layout;
    ASSERT_TRUE(CubeCrossFaceSize(height, width, &layout));
    EXPECT_EQ(layout.faceWidth, 512);
    EXPECT_EQ(layout.faceHeight, 512);

    // Top-left cell corner of +X, -X, +Y, -Y, +Z in image pixels.
    const std::pair<int, int> corners[5] = {{1024, 512}, {0, 512}, {512, 0}, {512, 1024}, {512, 512}};
    std::vector<unsigned char> face;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(SliceCubeCrossFace(image.data(), height, width, i, face));
        ASSERT_EQ(face.size(), 512u * 512u * 4u);
        for (auto [x, y] : {std::pair<int, int>{0, 0}, {511, 0}, {0, 511}, {511, 511}, {17, 300}}) {
            EXPECT_EQ(CodedOrigin(face, 512, x, y), std::make_pair(corners[i].first + x, corners[i].second + y))
                << "face " << i << " at " << x << "," << y;
        }
    }
    // -Z: the bottom cell turned by 180 degrees; its first row is the image's
    // last row of that cell read right to left.
    ASSERT_TRUE(SliceCubeCrossFace(image.data(), height, width, 5, face));
    for (int x = 0; x < 512; ++x) EXPECT_EQ(CodedOrigin(face, 512, x, 0), std::make_pair(1023 - x, 2047));
    EXPECT_EQ(CodedOrigin(face, 512, 0, 511), std::make_pair(1023, 1536));
    EXPECT_EQ(CodedOrigin(face, 512, 511, 511), std::make_pair(512, 1536));
}

TEST(CubeCross, LeftoverPixelsAndTinyCrosses) {
    // 7 x 9: faces of 2 x 2, the extra column and row are ignored.
    const std::vector<unsigned char> image = PositionCoded(7, 9);
    std::vector<unsigned char> face;
    ASSERT_TRUE(SliceCubeCrossFace(image.data(), 9, 7, 0, face));
    EXPECT_EQ(face.size(), 2u * 2u * 4u);
    EXPECT_EQ(CodedOrigin(face, 2, 0, 0), std::make_pair(4, 2));
    ASSERT_TRUE(SliceCubeCrossFace(image.data(), 9, 7, 5, face));
    EXPECT_EQ(CodedOrigin(face, 2, 0, 0), std::make_pair(3, 7));

    // Smallest usable cross: one pixel per face.
    EXPECT_TRUE(CubeCrossFaceSize(4, 3, nullptr));
    // Too small for one pixel per face, or no image at all.
    EXPECT_FALSE(CubeCrossFaceSize(3, 3, nullptr));
    EXPECT_FALSE(CubeCrossFaceSize(4, 2, nullptr));
    EXPECT_FALSE(CubeCrossFaceSize(0, 0, nullptr));
    EXPECT_FALSE(CubeCrossFaceSize(-4, 3, nullptr));
    const std::vector<unsigned char> tiny = PositionCoded(2, 3);
    EXPECT_FALSE(SliceCubeCrossFace(tiny.data(), 3, 2, 0, face));
    EXPECT_FALSE(SliceCubeCrossFace(image.data(), 9, 7, 6, face));
    EXPECT_FALSE(SliceCubeCrossFace(nullptr, 9, 7, 0, face));
}

TEST(ReadTextFile, BytesAsTheyAreOnDisk) {
    ScratchDir dir;
    const std::string crlf = "#version 330 core\r\nvoid main() {\r\n}\r\n";
    dir.Write("crlf.vert", crlf);
    dir.Write("empty.vert", "");
    dir.Write("binary.vert", std::string("ab\0cd\xff", 6));

    size_t size = 0;
    auto text = ReadTextFile((dir / "crlf.vert").c_str(), &size);
    ASSERT_TRUE(text);
    EXPECT_EQ(size, crlf.size());
    EXPECT_EQ(std::string(text.get()), crlf);

    text = ReadTextFile((dir / "empty.vert").c_str(), &size);
    ASSERT_TRUE(text);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(text[0], '\0');

    text = ReadTextFile((dir / "binary.vert").c_str(), &size);
    ASSERT_TRUE(text);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(text[6], '\0');
}

TEST(ReadTextFile, MissingFilesAndFolders) {
    ScratchDir dir;
    EXPECT_FALSE(ReadTextFile((dir / "absent.vert").c_str()));
    EXPECT_FALSE(ReadTextFile((dir / "Shaders/absent.vert").c_str()));
    // A folder opens as a stream on Linux; it must not be read as a source.
    dir.Write("Shaders/Folder.vert/inside", "x");
    EXPECT_FALSE(ReadTextFile((dir / "Shaders/Folder.vert").c_str()));
    EXPECT_FALSE(ReadTextFile(nullptr));
}

// Sources that would never end or fill memory are refused without waiting:
// a FIFO with no writer, an endless device, and a file beyond the size limit
// (sparse, 64 GiB) next to one just at it.
TEST(ReadTextFile, EndlessAndHugeSourcesAreRefused) {
    ScratchDir dir;
    const std::string fifo = dir / "Fifo.frag";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadTextFile(fifo.c_str()));
    EXPECT_FALSE(ReadTextFile("/dev/zero"));
    dir.Write("Huge.frag", "void main() {}\n");
    ASSERT_EQ(truncate((dir / "Huge.frag").c_str(), off_t(64) << 30), 0);
    EXPECT_FALSE(ReadTextFile((dir / "Huge.frag").c_str()));
    dir.Write("Limit.frag", "");
    ASSERT_EQ(truncate((dir / "Limit.frag").c_str(), off_t(kMaxShaderSourceBytes)), 0);
    size_t size = 0;
    EXPECT_TRUE(ReadTextFile((dir / "Limit.frag").c_str(), &size));
    EXPECT_EQ(size, kMaxShaderSourceBytes);
}
