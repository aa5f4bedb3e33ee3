// GLRenderer: the OpenGL renderer. Creates the 3.3 context on the main window,
// sets the GL state every scene relies on, keeps the projections in step with
// the window, caches textures, draws the loading bar and runs one frame of an
// effect through the selected post-processor.
#pragma once

#include <cstdint>
#include <memory>

#include <glm/glm.hpp>

#include "render/IRenderSurface.h"
#include "render/IRenderer.h"
#include "render/ShaderProgram.h"

class GLRenderer final : public IRenderer {
public:
    // Draws on the main window given to Init.
    GLRenderer();
    // Draws on another surface, for instance an off-screen one.
    explicit GLRenderer(std::unique_ptr<IRenderSurface> surface);

    bool Init(platform::WindowHandle window, int samples) override;
    void Shutdown() override;
    bool RenderFrame(IEffect* effect) override;
    ITexture* LoadTexture(const char* fileName, bool cubeMap) override;
    Camera* GetCamera() override { return &camera; }
    glm::mat4* GetProjectionMatrix() override { return &projection; }
    void Resize(int height, int width) override;
    void InitLoadingBar() override;
    void ShutdownLoadingBar() override;
    void DrawLoadingBar() override;
    void CreateMissingTexture() override;
    ITexture* CreateTexture(const unsigned char* pixels, int height, int width) override;
    ITexture* CreateCubeMapTexture(const unsigned char* pixels, int height, int width) override;
    void DeleteTexture(ITexture* texture) override;

    const glm::mat4& OrthoProjection() const { return orthoProjection; }

private:
    // The fixed GL state every pass relies on, set once by Init.
    void ApplyFixedState(int samples);

    std::unique_ptr<IRenderSurface> surface;  // owns the context
    ShaderProgram loadingBarShader;
    int loadingBarProjectionLocation = -1;
    int loadingBarColorLocation = -1;
    int loadingBarProgressLocation = -1;
    uint32_t loadingBarVertexArray = 0;
    uint32_t frameVertexBuffer = 0;
    uint32_t barVertexBuffer = 0;
    glm::mat4 orthoProjection{1.0f};
    glm::mat4 projection{1.0f};
    int maxTextureSize = 0;   // the driver's limits, read at Init
    int maxCubeMapSize = 0;
};
