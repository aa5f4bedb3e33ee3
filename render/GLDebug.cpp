// The opt-in GL error report (builds with TESSEL_GL_DEBUG only): a KHR_debug
// callback that logs the driver's error messages, which name the failing call
// (Mesa: "GL_INVALID_ENUM in glEnable(...)"). Messages other than errors
// (performance hints, notifications) are left out.
#include "render/gl.h"

#ifdef TESSEL_GL_DEBUG
#include <string>

#include "core/Log.h"

namespace {

void GLAPIENTRY LogGLError(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei length,
                           const GLchar* message, const void* user) {
    if (type != GL_DEBUG_TYPE_ERROR || !message) return;
    const std::string text = length >= 0 ? std::string(message, static_cast<size_t>(length)) : std::string(message);
    LogError(("GL error: " + text).c_str());
}

}  // namespace

bool InstallGLErrorReport() {
    if (!glDebugMessageCallback || !glDebugMessageControl) {
        LogError("GL error report: the driver has no debug output!");
        return false;
    }
    glEnable(GL_DEBUG_OUTPUT);
    // The callback then runs inside the failing call, so a debugger's stack names it too.
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageControl(GL_DONT_CARE, GL_DEBUG_TYPE_ERROR, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    glDebugMessageCallback(LogGLError, nullptr);
    return true;
}
#endif
