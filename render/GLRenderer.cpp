// Placeholder until the renderer is built: start-up stops here.
#include "render/GLRenderer.h"

#include "core/Log.h"

bool GLRenderer::Init(platform::WindowHandle, int) {
    LogError("The renderer is not built yet!");
    return false;
}
void GLRenderer::Shutdown() {}
bool GLRenderer::RenderFrame(IEffect*) { return false; }
ITexture* GLRenderer::LoadTexture(const char*, bool) { return missingTexture; }
void GLRenderer::Resize(int, int) {}
void GLRenderer::InitLoadingBar() {}
void GLRenderer::ShutdownLoadingBar() {}
void GLRenderer::DrawLoadingBar() {}
void GLRenderer::CreateMissingTexture() {}
ITexture* GLRenderer::CreateTexture(const unsigned char*, int, int) { return nullptr; }
ITexture* GLRenderer::CreateCubeMapTexture(const unsigned char*, int, int) { return nullptr; }
void GLRenderer::DeleteTexture(ITexture*) {}
