// GLContext on GLX: chooses a framebuffer config (multisampled when the
// driver offers GLX_ARB_multisample and samples > 0), moves the window onto
// that config's visual, makes a legacy context to learn the driver's highest
// version, then replaces it with a 3.3 context from GLX_ARB_create_context.
// Needs the GLX 1.3 entry points that glewInit loaded on the bootstrap window.
#include "platform/GLContext.h"

#include <GL/glew.h>
#include <GL/glxew.h>

#include "core/Log.h"
#include "platform/x11_internal.h"

namespace platform {

struct DeviceContextRecord {
    WindowRecord* window = nullptr;
    Display* display = nullptr;
    GLXFBConfig config = nullptr;
};

struct RenderContextRecord {
    GLXContext context = nullptr;
};

bool SwapBuffers(DeviceContext deviceContext) {
    if (!deviceContext || !deviceContext->display || !deviceContext->window ||
        !deviceContext->window->window)
        return false;
    glXSwapBuffers(deviceContext->display, deviceContext->window->window);
    return true;
}

}  // namespace platform

namespace {

// X errors raised by the GLX calls below (a refused context version answers
// with BadMatch or GLXBadFBConfig) are trapped; the calls' own results tell
// what went wrong.
using platform::x11::ErrorTrap;

// The first matching config with a window visual, preferring one whose visual
// has no alpha channel (depth 24): a 32-bit ARGB visual would let a
// compositor show the desktop through every pixel whose alpha is below 1.
GLXFBConfig ChooseConfig(Display* display, int screen, const int* attributes) {
    if (!glXChooseFBConfig || !glXGetVisualFromFBConfig) return nullptr;
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, screen, attributes, &count);
    GLXFBConfig chosen = nullptr, opaque = nullptr;
    for (int i = 0; configs && i < count && !opaque; ++i) {
        XVisualInfo* visual = glXGetVisualFromFBConfig(display, configs[i]);
        if (!visual) continue;
        if (!chosen) chosen = configs[i];
        if (visual->depth <= 24) opaque = configs[i];
        XFree(visual);
    }
    if (configs) XFree(configs);
    return opaque ? opaque : chosen;
}

// X fixes a window's visual at creation, so "setting the pixel format" means
// re-creating the native window when its visual is not the config's.
bool SetConfig(platform::WindowRecord* window, Display* display, GLXFBConfig config) {
    if (!glXGetVisualFromFBConfig) return false;
    XVisualInfo* visual = glXGetVisualFromFBConfig(display, config);
    if (!visual) return false;
    bool same = false;
    if (window->window) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, window->window, &attributes) && attributes.visual)
            same = XVisualIDFromVisual(attributes.visual) == visual->visualid;
    }
    bool ok = same || platform::x11::RecreateWithVisual(window, visual);
    XFree(visual);
    return ok && window->window != 0;
}

// glGetString answers null without a current context; log that as empty text.
const char* GLText(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

bool GLContext::Create(platform::WindowHandle window, int samples) {
    using namespace platform;
    this->window = window;
    if (!window || !window->instance || !window->instance->display) {
        LogError("Failed to get a proper pixel format!");
        return false;
    }
    Display* display = window->instance->display;
    int screen = window->instance->screen;
    auto* device = new DeviceContextRecord;
    device->window = window;
    device->display = display;
    deviceContext = device;

    // The pixel format: window-drawable, RGBA, fully accelerated,
    // double-buffered, 32-bit colour, 24-bit depth, 8-bit stencil.
    const bool multisample = glxewIsSupported("GLX_ARB_multisample") && samples > 0;
    int attributes[] = {GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                        GLX_X_RENDERABLE,  True,
                        GLX_CONFIG_CAVEAT, GLX_NONE,
                        GLX_DOUBLEBUFFER,  True,
                        GLX_RENDER_TYPE,   GLX_RGBA_BIT,
                        GLX_BUFFER_SIZE,   32,
                        GLX_DEPTH_SIZE,    24,
                        GLX_STENCIL_SIZE,  8,
                        GLX_SAMPLE_BUFFERS, multisample ? 1 : 0,
                        GLX_SAMPLES,       multisample ? samples : 0,
                        None};
    device->config = ChooseConfig(display, screen, attributes);
    if (!device->config) {
        LogError(multisample ? "Failed to get a proper FSAA pixel format!" : "Failed to get a proper pixel format!");
        return false;
    }
    if (!SetConfig(window, display, device->config)) {
        LogError(multisample ? "Failed to set FSAA pixel format!" : "Failed to set pixel format!");
        return false;
    }

    GLXContext legacy = nullptr;
    {
        ErrorTrap trap(display);
        if (glXCreateNewContext)
            legacy = glXCreateNewContext(display, device->config, GLX_RGBA_TYPE, nullptr, True);
        if (legacy && (!glXMakeContextCurrent(display, window->window, window->window, legacy) || trap.Caught())) {
            glXDestroyContext(display, legacy);
            legacy = nullptr;
        }
    }
    // Without a current context every later query would answer nothing.
    if (!legacy) {
        LogError("Failed to create OpenGL Context!");
        return false;
    }
    LogPair("Max OpenGL Version: ", GLText(GL_VERSION));

    GLXContext current = legacy;
    if (glxewIsSupported("GLX_ARB_create_context") && glXCreateContextAttribsARB) {
        const int contextAttributes[] = {GLX_CONTEXT_MAJOR_VERSION_ARB, 3, GLX_CONTEXT_MINOR_VERSION_ARB, 3,
#ifdef TESSEL_GL_DEBUG
                                         // Drivers report every error only to a debug context.
                                         GLX_CONTEXT_FLAGS_ARB, GLX_CONTEXT_DEBUG_BIT_ARB,
#endif
                                         None};
        GLXContext versioned = nullptr;
        {
            ErrorTrap trap(display);
            versioned = glXCreateContextAttribsARB(display, device->config, nullptr, True,
                                                   contextAttributes);
        }
        if (!versioned) {
            // Nothing keeps the legacy context once start-up has failed.
            glXMakeContextCurrent(display, None, None, nullptr);
            glXDestroyContext(display, legacy);
            LogError("Failed to create desired OpenGL Context!");
            return false;
        }
        glXMakeContextCurrent(display, None, None, nullptr);
        glXDestroyContext(display, legacy);
        bool madeCurrent;
        {
            ErrorTrap trap(display);
            madeCurrent = glXMakeContextCurrent(display, window->window, window->window, versioned) && !trap.Caught();
        }
        if (!madeCurrent) {
            glXDestroyContext(display, versioned);
            LogError("Failed to make the OpenGL Context current!");
            return false;
        }
        current = versioned;
    }
    auto* render = new RenderContextRecord;
    render->context = current;
    renderContext = render;

    LogPair("Hardware Vendor: ", GLText(GL_VENDOR));
    LogPair("Hardware Renderer: ", GLText(GL_RENDERER));
    LogPair("OpenGL Context Version: ", GLText(GL_VERSION));
    return true;
}

void GLContext::Release() {
    if (deviceContext && deviceContext->display) {
        Display* display = deviceContext->display;
        if (glXMakeContextCurrent) glXMakeContextCurrent(display, None, None, nullptr);
        if (renderContext && renderContext->context) glXDestroyContext(display, renderContext->context);
    }
    delete renderContext;
    renderContext = nullptr;
    delete deviceContext;
    deviceContext = nullptr;
}
