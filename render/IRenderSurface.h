// IRenderSurface: where the renderer's frames go and the OpenGL context that
// draws them. The player's is its window (WindowSurface), presented by a
// buffer swap; a program that renders to files brings an off-screen one.
#pragma once

#include "platform/platform.h"

class IRenderSurface {
public:
    virtual ~IRenderSurface() = default;
    // Creates the context with `samples` multisamples and leaves it current,
    // with the surface's framebuffer bound and the viewport covering it.
    // Logs its own error line; false on failure.
    virtual bool Create(platform::WindowHandle window, int samples) = 0;
    // Called before each drawn frame. A composed frame is drawn entirely by a
    // post-processor's full-screen pass from its own single-sampled targets,
    // so multisampling its surface changes nothing in the picture: a surface
    // may draw it without. A window surface cannot switch and ignores this.
    virtual void BeginFrame(bool composed) { (void)composed; }
    // Hands on the frame just drawn (shows it, or reads it back); false when
    // nothing was presented.
    virtual bool Present() = 0;
    // Makes nothing current and deletes the context.
    virtual void Release() = 0;
};
