// OffscreenSurface: the capture's surface. An off-screen frame of a fixed
// size on an OffscreenGLContext, so nothing is shown and no display is needed.
// Frames end in one of two plain (single-sampled) framebuffers, taking turns:
// a frame that a post-processor composes is drawn straight into one, since
// its final pass is a full-screen picture of single-sampled targets that
// multisampling would only copy four times and average back; any other frame
// is drawn multisampled and resolved into one. Frame n is read back when
// frame n + 1 is presented: Mesa's llvmpipe reads a framebuffer only once
// everything drawn into it is finished, so reading at once would leave its
// rasterizer threads idle while the next frame's commands are issued. Frames
// are handed on only while a consumer is set (the loading bar's are not read
// at all); Flush hands on the last one.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

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
    // Binds the framebuffer this frame is drawn into: this turn's plain one
    // for a composed frame, else the multisampled one.
    void BeginFrame(bool composed) override;
    // Ends this frame and hands on the previous one; false when the consumer
    // refused it.
    bool Present() override;
    void Release() override;

    // Frames presented from now on go to `consumer`; null stops reading them.
    void SetConsumer(FrameConsumer consumer);
    // Hands on the frame presented last and not yet read; false when the
    // consumer refused it.
    bool Flush();

    int Width() const { return width; }
    int Height() const { return height; }

private:
    bool CreateFramebuffers(int samples);
    void DeleteFramebuffers();
    // The framebuffer a frame is drawn into unless it is composed.
    uint32_t DefaultFramebuffer() const;

    int width;
    int height;
    OffscreenGLContext context;
    bool created = false;
    uint32_t multisampledFramebuffer = 0;  // 0 without multisampling
    uint32_t colorRenderbuffer = 0;
    uint32_t depthRenderbuffer = 0;        // multisampled, or shared by the plain ones without multisampling
    uint32_t plainFramebuffers[2] = {0, 0};
    uint32_t plainRenderbuffers[2] = {0, 0};
    int turn = 0;                // the plain framebuffer of the frame being drawn
    bool drawnPlain = false;     // this frame went straight into plainFramebuffers[turn]
    bool readPending = false;    // plainFramebuffers[1 - turn] holds a frame not handed on yet
    std::vector<uint8_t> pixels;
    FrameConsumer consumer;
};
