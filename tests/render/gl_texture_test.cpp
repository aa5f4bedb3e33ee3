// Textures, the cache, the fallback texture, cube maps and render targets on
// a real GL context, checked by reading the GL objects back.
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <algorithm>
#include <string>
#include <vector>

#include "render/GLRenderer.h"
#include "render/RenderTarget.h"
#include "render/Texture.h"
#include "render/gl.h"
#include "tests/render/gl_harness.h"
#include "tests/support/coded_pixels.h"

namespace {

class TextureTest : public gltest::RendererTest {};

std::vector<unsigned char> TexImage(GLenum target, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

}  // namespace

TEST_F(TextureTest, TwoHundredByOneHundredKeepsItsRowsAndSize) {
    const std::vector<unsigned char> image = PositionCoded(200, 100);
    ASSERT_TRUE(stbi_write_png(Path("wide.png").c_str(), 200, 100, 4, image.data(), 200 * 4));
    const std::string& name = Kept(Path("wide.png"));
    ITexture* texture = renderer.LoadTexture(name.c_str(), false);
    ASSERT_TRUE(texture);
    ASSERT_NE(texture, renderer.missingTexture);
    EXPECT_EQ(texture->height, 100);
    EXPECT_EQ(texture->width, 200);
    EXPECT_EQ(texture->format, static_cast<uint32_t>(GL_RGBA));
    EXPECT_EQ(logger.lines, std::vector<std::string>{"Creating Texture: " + name});

    glBindTexture(GL_TEXTURE_2D, texture->id);
    GLint width = 0, height = 0, levels = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 100);
    // Mipmaps exist down to 1 x 1 (level 7 of 200 x 100).
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 7, GL_TEXTURE_WIDTH, &levels);
    EXPECT_EQ(levels, 1);
    // Top image row first, unflipped.
    const std::vector<unsigned char> level0 = TexImage(GL_TEXTURE_2D, 200, 100);
    EXPECT_EQ(CodedOrigin(level0, 200, 0, 0), std::make_pair(0, 0));
    EXPECT_EQ(CodedOrigin(level0, 200, 199, 99), std::make_pair(199, 99));
    glBindTexture(GL_TEXTURE_2D, 0);
}

TEST_F(TextureTest, CacheIsKeyedByTheNamePointer) {
    const std::vector<unsigned char> image = PositionCoded(8, 8);
    ASSERT_TRUE(stbi_write_png(Path("a.png").c_str(), 8, 8, 4, image.data(), 8 * 4));
    const std::string& first = Kept(Path("a.png"));
    const std::string& second = Kept(Path("a.png"));  // same characters, another buffer
    ITexture* a = renderer.LoadTexture(first.c_str(), false);
    ITexture* again = renderer.LoadTexture(first.c_str(), false);
    EXPECT_EQ(a, again);
    EXPECT_EQ(logger.lines.size(), 1u);
    ITexture* b = renderer.LoadTexture(second.c_str(), false);
    EXPECT_NE(a, b);
    EXPECT_NE(a->id, b->id);
    EXPECT_EQ(logger.lines.size(), 2u);
    EXPECT_EQ(renderer.textureCache.size(), 3u);  // with the fallback

    // Null name: the fallback, silently.
    EXPECT_EQ(renderer.LoadTexture(nullptr, false), renderer.missingTexture);
    EXPECT_EQ(logger.lines.size(), 2u);

    // Shutdown: one line per entry, in key order, the fallback included.
    std::vector<std::string> expected;
    for (const auto& entry : renderer.textureCache) expected.push_back(std::string("Deleting Texture: ") + entry.first);
    logger.lines.clear();
    renderer.Shutdown();
    EXPECT_EQ(logger.lines, expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), "Deleting Texture: MissingTexture.png"), 1);
}

TEST_F(TextureTest, BadFilesGiveTheFallbackEveryTime) {
    ASSERT_TRUE(renderer.missingTexture);
    // The fallback is the built-in magenta and black checker.
    glBindTexture(GL_TEXTURE_2D, renderer.missingTexture->id);
    const int w = renderer.missingTexture->width, h = renderer.missingTexture->height;
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    const std::vector<unsigned char> checker = TexImage(GL_TEXTURE_2D, w, h);
    EXPECT_EQ(std::vector<unsigned char>(checker.begin(), checker.begin() + 4),
              (std::vector<unsigned char>{255, 0, 255, 255}));
    EXPECT_EQ(std::vector<unsigned char>(checker.begin() + 8 * 4, checker.begin() + 9 * 4),
              (std::vector<unsigned char>{0, 0, 0, 255}));
    glBindTexture(GL_TEXTURE_2D, 0);

    const std::vector<unsigned char> image = PositionCoded(64, 64);
    ASSERT_TRUE(stbi_write_png(Path("good.png").c_str(), 64, 64, 4, image.data(), 64 * 4));
    const std::string good = ReadFileBytes(Path("good.png"));
    dir.Write("truncated.png", good.substr(0, good.size() / 2));
    std::string corrupt = good;
    for (size_t i = 40; i < corrupt.size(); i += 7) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    dir.Write("corrupt.png", corrupt);
    dir.Write("empty.png", "");
    dir.Write("notes.png", "this is not an image at all\n");
    dir.Write("folder.png/inside", "x");

    const std::vector<std::string> names = {Path("absent.png"), Path("truncated.png"), Path("corrupt.png"),
                                            Path("empty.png"),  Path("notes.png"),     Path("folder.png")};
    for (const std::string& name : names) {
        for (bool cube : {false, true}) {
            logger.lines.clear();
            EXPECT_EQ(renderer.LoadTexture(name.c_str(), cube), renderer.missingTexture) << name;
            EXPECT_EQ(logger.lines,
                      std::vector<std::string>{"Returned A Missing Texture! Unable To Load File: " + name});
        }
    }
    EXPECT_EQ(renderer.textureCache.size(), 1u);  // nothing but the fallback
}

TEST_F(TextureTest, ImagesBeyondTheDriverLimitAreUnloadable) {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    ASSERT_GT(limit, 0);
    // One row wider than GL accepts: decodes fine, cannot become a texture.
    const std::vector<unsigned char> row(static_cast<size_t>(limit + 1) * 4, 200);
    ASSERT_TRUE(stbi_write_png(Path("wide.png").c_str(), limit + 1, 1, 4, row.data(), (limit + 1) * 4));
    const std::string& name = Kept(Path("wide.png"));
    EXPECT_EQ(renderer.LoadTexture(name.c_str(), false), renderer.missingTexture);
    EXPECT_EQ(logger.lines, std::vector<std::string>{"Returned A Missing Texture! Unable To Load File: " + name});
}

TEST_F(TextureTest, CubeMapFromA1536By2048Cross) {
    const int width = 1536, height = 2048;
    const std::vector<unsigned char> image = PositionCoded(width, height);
    // TGA keeps every byte and writes quickly.
    ASSERT_TRUE(stbi_write_tga(Path("cross.tga").c_str(), width, height, 4, image.data()));
    const std::string& name = Kept(Path("cross.tga"));
    ITexture* cube = renderer.LoadTexture(name.c_str(), true);
    ASSERT_TRUE(cube);
    ASSERT_NE(cube, renderer.missingTexture);
    EXPECT_EQ(logger.lines, std::vector<std::string>{"Creating Cube Map Texture: " + name});
    EXPECT_EQ(cube->height, 2048);
    EXPECT_EQ(cube->width, 1536);

    glBindTexture(GL_TEXTURE_CUBE_MAP, cube->id);
    const std::pair<int, int> corners[5] = {{1024, 512}, {0, 512}, {512, 0}, {512, 1024}, {512, 512}};
    for (int i = 0; i < 6; ++i) {
        const GLenum target = GL_TEXTURE_CUBE_MAP_POSITIVE_X + i;
        GLint faceWidth = 0, faceHeight = 0;
        glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &faceWidth);
        glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &faceHeight);
        EXPECT_EQ(faceWidth, 512);
        EXPECT_EQ(faceHeight, 512);
        const std::vector<unsigned char> face = TexImage(target, 512, 512);
        if (i < 5) {
            EXPECT_EQ(CodedOrigin(face, 512, 0, 0), corners[i]) << i;
            EXPECT_EQ(CodedOrigin(face, 512, 511, 511), std::make_pair(corners[i].first + 511, corners[i].second + 511));
        } else {
            // -Z: the bottom cell turned by 180 degrees.
            EXPECT_EQ(CodedOrigin(face, 512, 0, 0), std::make_pair(1023, 2047));
            EXPECT_EQ(CodedOrigin(face, 512, 511, 0), std::make_pair(512, 2047));
            EXPECT_EQ(CodedOrigin(face, 512, 0, 511), std::make_pair(1023, 1536));
        }
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

// A cross too small for one pixel per face, or whose faces are not square,
// has no cube to become; the same image is a fine 2D texture.
TEST_F(TextureTest, CrossesWithoutSquareFacesOfAPixelAreUnloadable) {
    const std::pair<int, int> sizes[] = {{2, 3}, {6, 12}, {9, 8}};
    // The cache is keyed by the name's pointer: each name lives as long as the renderer.
    std::vector<const std::string*> names;
    for (const auto& [width, height] : sizes) {
        const std::string file = "cross" + std::to_string(width) + "x" + std::to_string(height) + ".png";
        names.push_back(&Kept(Path(file.c_str())));
        const std::vector<unsigned char> image = PositionCoded(width, height);
        ASSERT_TRUE(stbi_write_png(names.back()->c_str(), width, height, 4, image.data(), width * 4));
    }
    for (const std::string* name : names) {
        logger.lines.clear();
        EXPECT_EQ(renderer.LoadTexture(name->c_str(), true), renderer.missingTexture) << *name;
        EXPECT_EQ(logger.lines, std::vector<std::string>{"Returned A Missing Texture! Unable To Load File: " + *name});
        EXPECT_NE(renderer.LoadTexture(name->c_str(), false), renderer.missingTexture) << *name;
    }
    EXPECT_EQ(renderer.CreateCubeMapTexture(PositionCoded(2, 3).data(), 3, 2), nullptr);
}

TEST_F(TextureTest, RenderTargetDrawsAtItsOwnSize) {
    RenderTarget target;
    ASSERT_TRUE(target.Create(64, 32, true));
    EXPECT_EQ(target.textureCount, 1);
    EXPECT_NE(target.framebuffer, 0u);
    EXPECT_NE(target.depthRenderbuffer, 0u);
    ASSERT_NE(target.ColorTexture(), 0u);
    EXPECT_EQ(target.textures[0].width, 64);
    EXPECT_EQ(target.textures[0].height, 32);
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);

    glViewport(0, 0, 320, 240);
    target.Bind();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);
    EXPECT_EQ(viewport[3], 32);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    target.Unbind();
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 240);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);

    glBindTexture(GL_TEXTURE_2D, target.ColorTexture());
    const std::vector<unsigned char> pixels = TexImage(GL_TEXTURE_2D, 64, 32);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(std::vector<unsigned char>(pixels.begin(), pixels.begin() + 4),
              (std::vector<unsigned char>{0, 255, 0, 255}));
    EXPECT_EQ(std::vector<unsigned char>(pixels.end() - 4, pixels.end()), (std::vector<unsigned char>{0, 255, 0, 255}));

    const GLuint texture = target.ColorTexture(), framebuffer = target.framebuffer;
    target.Destroy();
    EXPECT_FALSE(glIsTexture(texture));
    EXPECT_FALSE(glIsFramebuffer(framebuffer));
    target.Destroy();  // nothing left to release
}
