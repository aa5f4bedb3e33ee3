// WindowSurface: the player's surface, the 3.3 context on the main window
// (GLContext), presented by swapping its buffers.
#pragma once

#include "platform/GLContext.h"
#include "render/IRenderSurface.h"

class WindowSurface final : public IRenderSurface {
public:
    bool Create(platform::WindowHandle window, int samples) override { return context.Create(window, samples); }
    bool Present() override { return platform::SwapBuffers(context.deviceContext); }
    void Release() override { context.Release(); }

    GLContext context;
};
