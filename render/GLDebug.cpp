// The opt-in GL error report (builds with TESSEL_GL_DEBUG only): a KHR_debug
// callback that logs the driver's error messages, which name the failing call
// (Mesa: "GL_INVALID_ENUM in glEnable(...)"). Only errors of API calls are
// logged: the shader compiler's messages reach the log through the info log
// already, and performance hints or notifications are no errors.
#include "render/gl.h"

#ifdef TESSEL_GL_DEBUG
#include <string>

#include "core/Log.h"

namespace {

void GLAPIENTRY LogGLError(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei length,
                           const GLchar* message, const void* user) {
    if (source != GL_DEBUG_SOURCE_API || type != GL_DEBUG_TYPE_ERROR || !message) return;
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
    glDebugMessageControl(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    glDebugMessageCallback(LogGLError, nullptr);
    return true;
}
#endif
