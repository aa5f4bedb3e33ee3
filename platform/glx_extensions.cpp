// Stage 1 of the OpenGL set-up on X11: a plain double-buffered RGBA visual
// with depth and stencil on the hidden bootstrap window, a throw-away legacy
// context, and glewInit, which loads the GL and GLX entry points for the
// whole process. Only the GLX 1.2 calls that libGL exports are used here:
// GLX 1.3 entry points are GLEW pointers, null until glewInit has run.
#include <GL/glew.h>
#include <GL/glxew.h>

#include "core/Log.h"
#include "platform/AppWindow.h"
#include "platform/x11_internal.h"

namespace {

// A visual the window does not have yet means re-creating the window with it.
bool UseVisual(platform::WindowHandle window, XVisualInfo* visual) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(window->instance->display, window->window, &attributes)) return false;
    if (XVisualIDFromVisual(attributes.visual) == visual->visualid) return true;
    return platform::x11::RecreateWithVisual(window, visual);
}

}  // namespace

bool AppWindow::LoadGLExtensions() {
    platform::WindowHandle window = handle;
    if (!window || !window->instance || !window->instance->display) {
        LogError("Failed to get a proper pixel format!");
        return false;
    }
    Display* display = window->instance->display;
    int attributes[] = {GLX_RGBA,       GLX_DOUBLEBUFFER,   GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                        GLX_DEPTH_SIZE, 24, GLX_STENCIL_SIZE, 8,            None};
    XVisualInfo* visual = glXChooseVisual(display, window->instance->screen, attributes);
    if (!visual) {
        LogError("Failed to get a proper pixel format!");
        return false;
    }
    if (!UseVisual(window, visual)) {
        XFree(visual);
        LogError("Failed to set pixel format!");
        return false;
    }
    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    XFree(visual);
    if (!context || !glXMakeCurrent(display, window->window, context)) {
        if (context) glXDestroyContext(display, context);
        LogError("Failed to initialize GLEW!");
        return false;
    }
    GLenum result = glewInit();
    glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, context);
    if (result != GLEW_OK) {
        LogError("Failed to initialize GLEW!");
        return false;
    }
    return true;
}
