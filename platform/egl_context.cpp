// OffscreenGLContext on EGL: Mesa's surfaceless platform (no X server, no
// device node needed; llvmpipe renders), then the device platform, then
// whatever the default display offers. The context is made current with no
// surface (EGL_KHR_surfaceless_context), so all drawing goes to framebuffer
// objects.
//
// GL entry points: Debian's GLEW is built for GLX, and glewInit loads every GL
// function through glXGetProcAddressARB. With GLVND, that returns libGLdispatch
// stubs which call into whichever context is current on the thread, EGL ones
// included, so the same GLEW pointers work here. glewInit then fails only its
// GLX part (GLEW_ERROR_NO_GLX_DISPLAY, there is no GLX display), which is not
// an error for a context that never uses GLX.
#include "platform/OffscreenGLContext.h"

#include <GL/glew.h>

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

#include "core/Log.h"

namespace platform {
struct OffscreenContextRecord {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
};
}  // namespace platform

namespace {

bool HasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name))
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

// An initialised display: surfaceless first, then the first device, then the
// default display. EGL_NO_DISPLAY when none can be initialised.
EGLDisplay OpenDisplay() {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    auto tryDisplay = [](EGLDisplay display) {
        if (display == EGL_NO_DISPLAY) return EGL_NO_DISPLAY;
        EGLint major = 0, minor = 0;
        if (eglInitialize(display, &major, &minor)) return display;
        return EGL_NO_DISPLAY;
    };
    EGLDisplay display = EGL_NO_DISPLAY;
    if (getPlatformDisplay && HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless"))
        display = tryDisplay(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
    if (display == EGL_NO_DISPLAY && getPlatformDisplay && HasExtension(clientExtensions, "EGL_EXT_platform_device")) {
        auto queryDevices =
            reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
        EGLDeviceEXT device = nullptr;
        EGLint count = 0;
        if (queryDevices && queryDevices(1, &device, &count) && count > 0)
            display = tryDisplay(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, device, nullptr));
    }
    if (display == EGL_NO_DISPLAY) display = tryDisplay(eglGetDisplay(EGL_DEFAULT_DISPLAY));
    return display;
}

}  // namespace

bool OffscreenGLContext::Create() {
    Release();
    EGLDisplay display = OpenDisplay();
    if (display == EGL_NO_DISPLAY) {
        LogError("Failed to open an EGL display!");
        return false;
    }
    record = new platform::OffscreenContextRecord;
    record->display = display;
    if (!HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context") ||
        !eglBindAPI(EGL_OPENGL_API)) {
        LogError("Failed to create desired OpenGL Context!");
        Release();
        return false;
    }
    // No surface is ever made, so any config that renders desktop GL will do;
    // without one, a configless context (EGL_KHR_no_config_context).
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) config = nullptr;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    record->context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (record->context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, record->context)) {
        LogError("Failed to create desired OpenGL Context!");
        Release();
        return false;
    }
    glewExperimental = GL_TRUE;
    const GLenum loaded = glewInit();
    if ((loaded != GLEW_OK && loaded != GLEW_ERROR_NO_GLX_DISPLAY) || !glGenFramebuffers) {
        LogError("Failed to initialize GLEW!");
        Release();
        return false;
    }
    const GLubyte* vendor = glGetString(GL_VENDOR);
    const GLubyte* renderer = glGetString(GL_RENDERER);
    const GLubyte* version = glGetString(GL_VERSION);
    LogPair("Hardware Vendor: ", vendor ? reinterpret_cast<const char*>(vendor) : "");
    LogPair("Hardware Renderer: ", renderer ? reinterpret_cast<const char*>(renderer) : "");
    LogPair("OpenGL Context Version: ", version ? reinterpret_cast<const char*>(version) : "");
    return true;
}

void OffscreenGLContext::Release() {
    if (!record) return;
    if (record->display != EGL_NO_DISPLAY) {
        eglMakeCurrent(record->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (record->context != EGL_NO_CONTEXT) eglDestroyContext(record->display, record->context);
        // The display is not terminated: it is the process's one display of
        // its platform, and terminating it would unload the driver only for
        // the next context to load it again.
    }
    delete record;
    record = nullptr;
}
