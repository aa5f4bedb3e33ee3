// The opt-in GL error report behind GL_CHECK (builds with TESSEL_GL_DEBUG only).
#include "render/gl.h"

#ifdef TESSEL_GL_DEBUG
#include <string>

#include "core/Log.h"

void ReportGLError(unsigned int error, const char* call, const char* file, int line) {
    const std::string text = "GL error " + std::to_string(error) + " after " + call + " at " + file + ":" +
                             std::to_string(line);
    LogError(text.c_str());
}
#endif
