// OverlaySurface: the player's window surface with one step added: right
// before the buffers swap, after the post-processor has composed the frame,
// the overlay (when one is set) draws over the picture.
#pragma once

#include <functional>

#include "render/IRenderSurface.h"
#include "render/WindowSurface.h"

class OverlaySurface final : public IRenderSurface {
public:
    bool Create(platform::WindowHandle window, int samples) override { return surface.Create(window, samples); }
    bool Present() override {
        if (overlay) overlay();
        return surface.Present();
    }
    void Release() override { surface.Release(); }

    std::function<void()> overlay;

private:
    WindowSurface surface;
};
