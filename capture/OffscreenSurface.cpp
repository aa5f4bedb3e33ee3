// The capture's off-screen surface: framebuffer objects on an EGL context and
// an asynchronous read-back through two pixel buffer objects.
#include "capture/OffscreenSurface.h"

#include <string>

#include "core/Log.h"
#include "render/gl.h"

bool OffscreenSurface::Create(platform::WindowHandle, int samples) {
    if (!context.Create()) return false;
    created = true;
    if (!CreateFramebuffers(samples)) {
        const std::string text = "Failed to create an off-screen frame of " + std::to_string(width) + " x " +
                                 std::to_string(height) + " with " + std::to_string(samples) + " samples!";
        LogError(text.c_str());
        Release();
        return false;
    }
    return true;
}

bool OffscreenSurface::CreateFramebuffers(int samples) {
    GLint maxSize = 0, maxSamples = 0, maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    if (width <= 0 || height <= 0 || width > maxSize || height > maxSize || width > maxViewport[0] ||
        height > maxViewport[1] || samples < 0 || samples > maxSamples)
        return false;

    auto makeRenderbuffer = [this](uint32_t* name, int count, GLenum format) {
        glGenRenderbuffers(1, name);
        glBindRenderbuffer(GL_RENDERBUFFER, *name);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, count, format, width, height);
    };
    glGenFramebuffers(1, &drawFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, drawFramebuffer);
    makeRenderbuffer(&colorRenderbuffer, samples, GL_RGBA8);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRenderbuffer);
    makeRenderbuffer(&depthRenderbuffer, samples, GL_DEPTH24_STENCIL8);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthRenderbuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;

    if (samples > 0) {
        glGenFramebuffers(1, &resolveFramebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, resolveFramebuffer);
        makeRenderbuffer(&resolveRenderbuffer, 0, GL_RGBA8);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveRenderbuffer);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    }
    glBindRenderbuffer(GL_RENDERBUFFER, 0);

    const GLsizeiptr frameBytes = static_cast<GLsizeiptr>(width) * height * 4;
    glGenBuffers(2, packBuffers);
    for (uint32_t buffer : packBuffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, frameBytes, nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);

    // The renderer reads its size from the viewport and draws into whatever
    // framebuffer is bound, as it would into a window.
    glBindFramebuffer(GL_FRAMEBUFFER, drawFramebuffer);
    glViewport(0, 0, width, height);
    return true;
}

void OffscreenSurface::BeginFrame(bool composed) {
    if (!created) return;
    drawnPlain = composed && resolveFramebuffer != 0;
    glBindFramebuffer(GL_FRAMEBUFFER, drawnPlain ? resolveFramebuffer : drawFramebuffer);
}

void OffscreenSurface::SetConsumer(FrameConsumer newConsumer) {
    consumer = std::move(newConsumer);
    readPending = false;
}

bool OffscreenSurface::Present() {
    if (!created) return false;
    const bool plain = drawnPlain;
    drawnPlain = false;
    // Unread frames are still finished, so that each frame costs its drawing.
    if (!consumer) {
        glFinish();
        glBindFramebuffer(GL_FRAMEBUFFER, drawFramebuffer);
        return true;
    }
    if (resolveFramebuffer && !plain) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, drawFramebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer);
        glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFramebuffer ? resolveFramebuffer : drawFramebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffers[nextPackBuffer]);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, drawFramebuffer);

    const bool handed = Flush();
    readPending = true;
    nextPackBuffer = 1 - nextPackBuffer;
    return handed;
}

bool OffscreenSurface::Flush() {
    if (!readPending || !consumer) return true;
    readPending = false;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffers[1 - nextPackBuffer]);
    const void* pixels = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    const bool handed = pixels && consumer(static_cast<const uint8_t*>(pixels));
    if (pixels) glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return handed;
}

void OffscreenSurface::DeleteFramebuffers() {
    glDeleteBuffers(2, packBuffers);
    glDeleteFramebuffers(1, &resolveFramebuffer);
    glDeleteFramebuffers(1, &drawFramebuffer);
    glDeleteRenderbuffers(1, &resolveRenderbuffer);
    glDeleteRenderbuffers(1, &depthRenderbuffer);
    glDeleteRenderbuffers(1, &colorRenderbuffer);
    packBuffers[0] = packBuffers[1] = 0;
    resolveFramebuffer = drawFramebuffer = 0;
    resolveRenderbuffer = depthRenderbuffer = colorRenderbuffer = 0;
}

void OffscreenSurface::Release() {
    if (!created) return;
    DeleteFramebuffers();
    consumer = nullptr;
    readPending = false;
    drawnPlain = false;
    context.Release();
    created = false;
}
