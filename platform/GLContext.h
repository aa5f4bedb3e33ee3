// GLContext: the OpenGL 3.3 context on the main window (stage 2 of the set-up)
// and the buffer swap that presents a frame. The pixel format is chosen with
// multisampling when the driver offers it and samples > 0; a legacy context
// reports the driver's highest version, then a versioned 3.3 context replaces
// it. Handles are opaque so that no window-system header leaks out.
#pragma once

#include "platform/platform.h"

namespace platform {
struct DeviceContextRecord;
struct RenderContextRecord;
using DeviceContext = DeviceContextRecord*;
using RenderContext = RenderContextRecord*;

// Presents the back buffer; false when nothing could be presented.
bool SwapBuffers(DeviceContext deviceContext);
}  // namespace platform

class GLContext {
public:
    // Logs its own error line and returns false on failure; on success the
    // versioned context is current on the calling thread.
    bool Create(platform::WindowHandle window, int samples);
    // Makes nothing current, deletes the context, releases the device context.
    void Release();

    platform::WindowHandle window = nullptr;
    platform::DeviceContext deviceContext = nullptr;
    platform::RenderContext renderContext = nullptr;
};
