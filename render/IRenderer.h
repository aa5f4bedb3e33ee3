// IRenderer: the renderer's operations plus the state it shares with the
// engine, the demo and the scenes (loading progress, post-processor, camera,
// drawable size, anisotropy). Reached process-wide through gRenderer.
#pragma once

#include <map>

#include <glm/glm.hpp>

#include "platform/platform.h"
#include "render/Camera.h"

class ITexture;
class IEffect;
class IPostProcessor;

class IRenderer {
public:
    virtual ~IRenderer() { textureCache.clear(); }
    // Creates the context and the fixed GL state; false when there is no context.
    virtual bool Init(platform::WindowHandle window, int samples) = 0;
    virtual void Shutdown() = 0;
    // One frame of the effect through the post-processor; true when presented.
    virtual bool RenderFrame(IEffect* effect) = 0;
    // Cached by the name pointer; the fallback texture (maybe null) on failure.
    virtual ITexture* LoadTexture(const char* fileName, bool cubeMap) = 0;
    virtual Camera* GetCamera() = 0;
    virtual glm::mat4* GetProjectionMatrix() = 0;
    virtual void Resize(int height, int width) = 0;
    virtual void InitLoadingBar() = 0;
    virtual void ShutdownLoadingBar() = 0;
    virtual void DrawLoadingBar() = 0;
    virtual void CreateMissingTexture() = 0;
    virtual ITexture* CreateTexture(const unsigned char* pixels, int height, int width) = 0;
    virtual ITexture* CreateCubeMapTexture(const unsigned char* pixels, int height, int width) = 0;
    virtual void DeleteTexture(ITexture* texture) = 0;

    float loadingProgress = 0;
    std::map<const char*, ITexture*> textureCache;  // keyed by the caller's pointer
    ITexture* missingTexture = nullptr;
    IPostProcessor* postProcessor = nullptr;
    Camera camera;
    float width = 0;
    float height = 0;
    float maxAnisotropy = 0;
    float lastMusicPosition = 0;
    // False: RenderFrame advances the effect's clock and draws nothing, so a
    // capture can run the show's clocks up to its first frame cheaply.
    bool drawFrames = true;
    // With drawFrames false: the effect still carries forward what it keeps
    // from one drawn frame to the next (IEffect::Advance), so that the frame
    // after such a run-up looks as it would after drawn ones.
    bool advanceKeptState = false;

    // Back to the clock a fresh start has (no music position seen yet).
    void Rewind() { lastMusicPosition = 0; }
};

// Set once the renderer's Init succeeded; never owning.
extern IRenderer* gRenderer;
