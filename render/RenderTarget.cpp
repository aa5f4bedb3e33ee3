// RenderTarget: a framebuffer with one RGBA colour texture (no mipmaps, no
// sampling state) and an optional 24-bit depth renderbuffer.
#include "render/RenderTarget.h"

#include <algorithm>
#include <vector>

#include "render/gl.h"

bool RenderTarget::Create(int width, int height, bool withDepth) {
    this->width = width;
    this->height = height;
    textureCount = 1;
    GLuint name = 0;
    glGenFramebuffers(1, &name);
    framebuffer = name;
    GLint outer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &outer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);

    GLint maxAttachments = 0, maxDrawBuffers = 0;
    glGetIntegerv(GL_MAX_COLOR_ATTACHMENTS, &maxAttachments);
    glGetIntegerv(GL_MAX_DRAW_BUFFERS, &maxDrawBuffers);
    if (std::min(maxAttachments, maxDrawBuffers) < 1) return false;

    textures = std::make_unique<GLTexture[]>(static_cast<size_t>(textureCount));
    std::vector<GLenum> drawBuffers(static_cast<size_t>(textureCount));
    for (int i = 0; i < textureCount; ++i) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        textures[i].height = height;
        textures[i].width = width;
        textures[i].id = texture;
        textures[i].format = GL_RGBA;
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, texture, 0);
        drawBuffers[static_cast<size_t>(i)] = GL_COLOR_ATTACHMENT0 + i;
    }
    glDrawBuffers(textureCount, drawBuffers.data());

    if (withDepth) {
        glGenRenderbuffers(1, &name);
        depthRenderbuffer = name;
        glBindRenderbuffer(GL_RENDERBUFFER, depthRenderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthRenderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
    }
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(outer));
    return complete;
}

void RenderTarget::Bind() {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    savedViewportWidth = viewport[0] + viewport[2];
    savedViewportHeight = viewport[1] + viewport[3];
    GLint outer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &outer);
    savedFramebuffer = static_cast<uint32_t>(outer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, width, height);
}

void RenderTarget::Unbind() {
    glBindFramebuffer(GL_FRAMEBUFFER, savedFramebuffer);
    glViewport(0, 0, savedViewportWidth, savedViewportHeight);
}

void RenderTarget::Destroy() {
    if (depthRenderbuffer != 0) {
        GLuint name = depthRenderbuffer;
        glDeleteRenderbuffers(1, &name);
        depthRenderbuffer = 0;
    }
    if (textures) {
        for (int i = 0; i < textureCount; ++i) {
            GLuint name = textures[i].id;
            glDeleteTextures(1, &name);
        }
        textures.reset();
    }
    if (framebuffer != 0) {
        GLuint name = framebuffer;
        // A framebuffer still bound from a failed Create falls back to the window.
        glDeleteFramebuffers(1, &name);
        framebuffer = 0;
    }
}
