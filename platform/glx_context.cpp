// Placeholder until the versioned context is built: reports failure.
#include "platform/GLContext.h"

#include "core/Log.h"

bool GLContext::Create(platform::WindowHandle window, int samples) {
    LogError("OpenGL context creation is not built yet!");
    return false;
}
void GLContext::Release() {}
bool platform::SwapBuffers(platform::DeviceContext) { return false; }
