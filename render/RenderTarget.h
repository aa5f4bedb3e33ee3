// RenderTarget: an off-screen framebuffer with one RGBA colour texture and an
// optional 24-bit depth buffer, drawn into at its own size.
#pragma once

#include <cstdint>
#include <memory>

#include "render/Texture.h"

class RenderTarget {
public:
    // False when the driver offers no colour attachment or the framebuffer is
    // incomplete; what was created stays until Destroy.
    bool Create(int width, int height, bool withDepth);
    // Remembers the current viewport's extent and framebuffer (the window's,
    // or an off-screen surface's), binds this one and sets the viewport to the
    // target's size.
    void Bind();
    // Back to the remembered framebuffer and viewport.
    void Unbind();
    void Destroy();
    // The colour texture's GL name, 0 when there is none.
    uint32_t ColorTexture() const { return textures && textureCount > 0 ? textures[0].id : 0; }

    int width = 0;
    int height = 0;
    int savedViewportWidth = 0;
    int savedViewportHeight = 0;
    uint32_t savedFramebuffer = 0;
    uint32_t framebuffer = 0;
    uint32_t depthRenderbuffer = 0;
    std::unique_ptr<GLTexture[]> textures;
    int textureCount = 0;
};
