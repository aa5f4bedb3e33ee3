// The capture's off-screen surface: framebuffer objects on an EGL context,
// each frame read back while the next one is drawn.
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
    makeRenderbuffer(&depthRenderbuffer, samples, GL_DEPTH24_STENCIL8);
    if (samples > 0) {
        glGenFramebuffers(1, &multisampledFramebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, multisampledFramebuffer);
        makeRenderbuffer(&colorRenderbuffer, samples, GL_RGBA8);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRenderbuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthRenderbuffer);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    }
    glGenFramebuffers(2, plainFramebuffers);
    for (int k = 0; k < 2; ++k) {
        glBindFramebuffer(GL_FRAMEBUFFER, plainFramebuffers[k]);
        makeRenderbuffer(&plainRenderbuffers[k], 0, GL_RGBA8);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, plainRenderbuffers[k]);
        // Without multisampling every frame is drawn here, scenes with their depth.
        if (samples == 0)
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                      depthRenderbuffer);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    }
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    pixels.assign(static_cast<size_t>(width) * height * 4, 0);

    // The renderer reads its size from the viewport and draws into whatever
    // framebuffer is bound, as it would into a window.
    glBindFramebuffer(GL_FRAMEBUFFER, DefaultFramebuffer());
    glViewport(0, 0, width, height);
    return true;
}

uint32_t OffscreenSurface::DefaultFramebuffer() const {
    return multisampledFramebuffer ? multisampledFramebuffer : plainFramebuffers[turn];
}

void OffscreenSurface::BeginFrame(bool composed) {
    if (!created) return;
    drawnPlain = composed || !multisampledFramebuffer;
    glBindFramebuffer(GL_FRAMEBUFFER, drawnPlain ? plainFramebuffers[turn] : multisampledFramebuffer);
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
        glBindFramebuffer(GL_FRAMEBUFFER, DefaultFramebuffer());
        return true;
    }
    if (!plain) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, multisampledFramebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, plainFramebuffers[turn]);
        glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    // The rasterizer threads start on this frame while the previous one is read.
    glFlush();
    const bool handed = Flush();
    readPending = true;
    turn = 1 - turn;
    glBindFramebuffer(GL_FRAMEBUFFER, DefaultFramebuffer());
    return handed;
}

bool OffscreenSurface::Flush() {
    if (!readPending || !consumer) return true;
    readPending = false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, plainFramebuffers[1 - turn]);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, DefaultFramebuffer());
    return consumer(pixels.data());
}

void OffscreenSurface::DeleteFramebuffers() {
    glDeleteFramebuffers(2, plainFramebuffers);
    glDeleteRenderbuffers(2, plainRenderbuffers);
    glDeleteFramebuffers(1, &multisampledFramebuffer);
    glDeleteRenderbuffers(1, &depthRenderbuffer);
    glDeleteRenderbuffers(1, &colorRenderbuffer);
    plainFramebuffers[0] = plainFramebuffers[1] = plainRenderbuffers[0] = plainRenderbuffers[1] = 0;
    multisampledFramebuffer = depthRenderbuffer = colorRenderbuffer = 0;
    pixels = std::vector<uint8_t>();
    turn = 0;
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
