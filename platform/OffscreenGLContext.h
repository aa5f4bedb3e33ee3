// OffscreenGLContext: an OpenGL 3.3 core context that draws into framebuffer
// objects only: no window, no visible surface, and on the EGL backend no X
// server at all. Used by programs that render the show to files. The context
// has no default framebuffer, so whoever draws must bind a framebuffer object.
#pragma once

namespace platform {
struct OffscreenContextRecord;
}

class OffscreenGLContext {
public:
    OffscreenGLContext() = default;
    OffscreenGLContext(const OffscreenGLContext&) = delete;
    OffscreenGLContext& operator=(const OffscreenGLContext&) = delete;
    ~OffscreenGLContext() { Release(); }

    // Makes the context current on the calling thread with the GL entry
    // points loaded; logs its own error line and returns false on failure.
    bool Create();
    // Makes nothing current and deletes the context; safe to call twice.
    void Release();

private:
    platform::OffscreenContextRecord* record = nullptr;
};
