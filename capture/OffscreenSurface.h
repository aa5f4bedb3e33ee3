// OffscreenSurface: the capture's surface. An off-screen frame of a fixed
// size (a multisampled framebuffer object resolved into a plain one) on an
// OffscreenGLContext, so nothing is shown and no display is needed. A frame
// that a post-processor composes is drawn straight into the plain one: its
// final pass is a full-screen picture of single-sampled targets, which
// multisampling would only copy four times and average back, at the cost of
// clearing, writing and resolving four samples a pixel. Present reads the
// frame back through a pair of pixel buffer objects: the read of frame n is
// started when it is presented and collected when frame n + 1 is, so the copy
// overlaps the next frame's drawing. Frames are handed on only while a
// consumer is set (the loading bar's are not read at all); Flush collects the
// last one.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/OffscreenGLContext.h"
#include "render/IRenderSurface.h"

class OffscreenSurface final : public IRenderSurface {
public:
    // Receives width x height RGBA pixels, rows bottom-up; false stops the capture.
    using FrameConsumer = std::function<bool(const uint8_t* rgba)>;

    OffscreenSurface(int width, int height) : width(width), height(height) {}
    ~OffscreenSurface() override { Release(); }

    // The window is not used. Logs its own error line when the driver refuses
    // the size or the sample count.
    bool Create(platform::WindowHandle window, int samples) override;
    // Binds the framebuffer this frame is drawn into: the plain one for a
    // composed frame, else the multisampled one.
    void BeginFrame(bool composed) override;
    // Starts reading this frame back and hands on the previous one; false
    // when the consumer refused it.
    bool Present() override;
    void Release() override;

    // Frames presented from now on go to `consumer`; null stops reading them.
    void SetConsumer(FrameConsumer consumer);
    // Hands on the frame still being read; false when the consumer refused it.
    bool Flush();

    int Width() const { return width; }
    int Height() const { return height; }

private:
    bool CreateFramebuffers(int samples);
    void DeleteFramebuffers();

    int width;
    int height;
    OffscreenGLContext context;
    bool created = false;
    uint32_t drawFramebuffer = 0;     // what the renderer draws into
    uint32_t colorRenderbuffer = 0;
    uint32_t depthRenderbuffer = 0;
    uint32_t resolveFramebuffer = 0;  // single-sampled copy that is read; 0 without multisampling
    uint32_t resolveRenderbuffer = 0;
    bool drawnPlain = false;          // this frame went straight into resolveFramebuffer
    uint32_t packBuffers[2] = {0, 0};
    int nextPackBuffer = 0;
    bool readPending = false;         // packBuffers[1 - nextPackBuffer] holds an unread frame
    FrameConsumer consumer;
};
