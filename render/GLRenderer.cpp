// GLRenderer: context creation, the fixed GL state, projections and resizes,
// one frame of an effect through the selected post-processor, the texture
// cache (keyed by the caller's name pointer, decoded with stb_image), the
// built-in fallback texture and the loading screen.
#include "render/GLRenderer.h"

#include <stb_image.h>

#include <string>
#include <vector>

#include "audio/IDemoAudioSystem.h"
#include "core/Log.h"
#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "render/CubeCross.h"
#include "render/MissingTextureData.h"
#include "render/Projection.h"
#include "render/TextureImage.h"
#include "render/Texture.h"
#include "render/WindowSurface.h"
#include "render/gl.h"
#include "sync/SyncSystem.h"

namespace {
const char kMissingTextureName[] = "MissingTexture.png";

// The handle the renderer hands out for a texture object it created (RGBA).
ITexture* WrapTexture(GLuint name, int height, int width) {
    auto* texture = new GLTexture;
    texture->height = height;
    texture->width = width;
    texture->id = name;
    texture->format = GL_RGBA;
    return texture;
}
}  // namespace

GLRenderer::GLRenderer() : surface(std::make_unique<WindowSurface>()) {}

GLRenderer::GLRenderer(std::unique_ptr<IRenderSurface> surface) : surface(std::move(surface)) {}

bool GLRenderer::Init(platform::WindowHandle window, int samples) {
    if (!surface->Create(window, samples)) {
        LogError("Failed to initialize OpenGL Context!");
        return false;
    }
    InstallGLErrorReport();  // only in TESSEL_GL_DEBUG builds
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    width = static_cast<float>(viewport[0]) + static_cast<float>(viewport[2]);
    height = static_cast<float>(viewport[1]) + static_cast<float>(viewport[3]);

    ApplyFixedState(samples);

    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    if (sampleBuffers > 0) {
        LogLine("Multisampling Enabled");
        GLint count = 0;
        glGetIntegerv(GL_SAMPLES, &count);
        LogPair("Multisampling Buffers: ", std::to_string(count).c_str());
    } else {
        LogLine("Multisampling Disabled");
    }
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    LogPair("Anisotropic Filtering Level: ", std::to_string(static_cast<int>(maxAnisotropy)).c_str());

    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &maxCubeMapSize);

    BuildPerspective(width, height, &projection);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    CreateMissingTexture();
    return true;
}

// Every pass relies on this state; nothing else changes it for good.
void GLRenderer::ApplyFixedState(int samples) {
    if (samples > 0)
        glEnable(GL_MULTISAMPLE);
    else
        glDisable(GL_MULTISAMPLE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_TEXTURE_COMPRESSION_HINT, GL_NICEST);
    glHint(GL_FRAGMENT_SHADER_DERIVATIVE_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
}

void GLRenderer::Shutdown() {
    for (auto& entry : textureCache) {
        // A second Shutdown finds the entries already released.
        if (!entry.second) continue;
        LogPair("Deleting Texture: ", entry.first);
        DeleteTexture(entry.second);
        delete entry.second;
        entry.second = nullptr;
    }
    missingTexture = nullptr;
    surface->Release();
}

bool GLRenderer::RenderFrame(IEffect* effect) {
    float position = lastMusicPosition;
    if (gSyncSystem && gSyncSystem->audio) position = gSyncSystem->audio->GetPosition();
    const float delta = position - lastMusicPosition;
    lastMusicPosition = position;

    // Frames that only carry the clocks forward (a capture's run-up to its
    // first frame) draw nothing and show nothing; the effect may carry on
    // what it keeps between drawn frames.
    if (!drawFrames) {
        if (effect) {
            effect->time += delta;
            if (advanceKeptState) effect->Advance(effect->time);
        }
        return true;
    }
    surface->BeginFrame(effect && postProcessor);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (effect) {
        glBindVertexArray(effect->vertexArray);
        if (postProcessor) postProcessor->Begin();
        effect->time += delta;
        const float time = effect->time;
        effect->Render(time);
        if (postProcessor) postProcessor->Render(time);
        glBindVertexArray(0);
    }
    return surface->Present();
}

ITexture* GLRenderer::LoadTexture(const char* fileName, bool cubeMap) {
    if (!fileName) return missingTexture;
    auto cached = textureCache.find(fileName);
    if (cached != textureCache.end() && cached->second) return cached->second;

    // The image's stated size is checked before its pixels are decoded: a
    // cross without square faces, or an image beyond the driver's texture
    // size, cannot become a texture either.
    TextureImage image;
    if (!LoadTextureImageFile(fileName, cubeMap, TextureLimits{maxTextureSize, maxCubeMapSize}, &image)) {
        LogPair("Returned A Missing Texture! Unable To Load File: ", fileName);
        return missingTexture;
    }

    ITexture* texture;
    if (cubeMap) {
        LogPair("Creating Cube Map Texture: ", fileName);
        texture = CreateCubeMapTexture(image.pixels.get(), image.height, image.width);
    } else {
        LogPair("Creating Texture: ", fileName);
        texture = CreateTexture(image.pixels.get(), image.height, image.width);
    }
    if (!texture) return missingTexture;
    textureCache[fileName] = texture;
    return texture;
}

void GLRenderer::Resize(int height, int width) {
    if (static_cast<float>(height) == this->height && static_cast<float>(width) == this->width) return;
    glViewport(0, 0, width > 0 ? width : 0, height > 0 ? height : 0);
    this->width = static_cast<float>(width);
    this->height = static_cast<float>(height);
    // A minimised window (zero height) keeps the previous matrices until the
    // next real size: a non-finite aspect must not reach any shader.
    BuildPerspective(this->width, this->height, &projection);
    BuildOrtho(this->width, this->height, &orthoProjection);
}

void GLRenderer::InitLoadingBar() {
    BuildOrtho(width, height, &orthoProjection);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    const LoadingBarQuads quads = BuildLoadingBarQuads(width, height);
    glGenVertexArrays(1, &loadingBarVertexArray);
    glBindVertexArray(loadingBarVertexArray);
    auto makeQuad = [](uint32_t* buffer, const float* vertices) {
        glGenBuffers(1, buffer);
        glBindBuffer(GL_ARRAY_BUFFER, *buffer);
        glBufferData(GL_ARRAY_BUFFER, 8 * sizeof(float), vertices, GL_STATIC_DRAW);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 8, nullptr);
        glEnableVertexAttribArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    };
    makeQuad(&barVertexBuffer, quads.bar);
    makeQuad(&frameVertexBuffer, quads.frame);
    glBindVertexArray(0);

    loadingBarShader.Load("./Shaders/LoadingBar.vert", "./Shaders/LoadingBar.frag", nullptr);
    // -1 each when the program did not load.
    loadingBarProjectionLocation = loadingBarShader.GetUniformLocation("ProjectionMatrix");
    loadingBarColorLocation = loadingBarShader.GetUniformLocation("Color");
    loadingBarProgressLocation = loadingBarShader.GetUniformLocation("Progress");
}

void GLRenderer::DrawLoadingBar() {
    // Nothing to draw with before InitLoadingBar or after ShutdownLoadingBar.
    if (loadingBarVertexArray == 0) return;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    loadingBarShader.Bind(0.0f);
    glBindVertexArray(loadingBarVertexArray);

    auto drawQuad = [this](uint32_t buffer, const float* color, float progress) {
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 8, nullptr);
        glEnableVertexAttribArray(0);
        glUniformMatrix4fv(loadingBarProjectionLocation, 1, GL_FALSE, &orthoProjection[0][0]);
        glUniform4fv(loadingBarColorLocation, 1, color);
        glUniform1f(loadingBarProgressLocation, progress);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    };
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    drawQuad(frameVertexBuffer, black, -1.0f);
    drawQuad(barVertexBuffer, white, loadingProgress);

    glBindVertexArray(0);
    surface->Present();
}

void GLRenderer::ShutdownLoadingBar() {
    platform::Sleep(250);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    loadingBarShader.Delete();
    glDeleteBuffers(1, &frameVertexBuffer);
    glDeleteBuffers(1, &barVertexBuffer);
    glDeleteVertexArrays(1, &loadingBarVertexArray);
    frameVertexBuffer = 0;
    barVertexBuffer = 0;
    loadingBarVertexArray = 0;
}

void GLRenderer::CreateMissingTexture() {
    if (missingTexture) return;
    size_t size = 0;
    const unsigned char* png = MissingTexturePng(&size);
    int imageWidth = 0, imageHeight = 0, components = 0;
    stbi_uc* pixels = stbi_load_from_memory(png, static_cast<int>(size), &imageWidth, &imageHeight,
                                            &components, 4);
    if (!pixels) return;
    LogPair("Creating Texture: ", kMissingTextureName);
    missingTexture = CreateTexture(pixels, imageHeight, imageWidth);
    stbi_image_free(pixels);
    if (missingTexture) textureCache[kMissingTextureName] = missingTexture;
}

ITexture* GLRenderer::CreateTexture(const unsigned char* pixels, int height, int width) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    return WrapTexture(name, height, width);
}

ITexture* GLRenderer::CreateCubeMapTexture(const unsigned char* pixels, int height, int width) {
    CubeCrossLayout layout;
    // No face would hold a pixel: there is nothing to upload.
    if (!pixels || !CubeCrossFaceSize(height, width, &layout)) return nullptr;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_CUBE_MAP, name);
    std::vector<unsigned char> face;
    for (int i = 0; i < 6; ++i) {
        SliceCubeCrossFace(pixels, height, width, i, face);
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, 0, GL_RGBA, layout.faceWidth, layout.faceHeight, 0,
                     GL_RGBA, GL_UNSIGNED_BYTE, face.data());
    }
    glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    return WrapTexture(name, height, width);
}

void GLRenderer::DeleteTexture(ITexture* texture) {
    if (!texture) return;
    GLuint name = texture->id;
    glDeleteTextures(1, &name);
}
