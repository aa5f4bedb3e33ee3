// The GL entry points (GLEW) and an opt-in error check for development:
// build with -DTESSEL_GL_DEBUG=ON and wrap a call in GL_CHECK(...) to log any
// error it raised together with the call's text. Shipped builds query nothing.
#pragma once

#include <GL/glew.h>

#ifdef TESSEL_GL_DEBUG
void ReportGLError(unsigned int error, const char* call, const char* file, int line);
#define GL_CHECK(call)                                                              \
    do {                                                                            \
        call;                                                                       \
        for (GLenum glCheckError_ = glGetError(); glCheckError_ != GL_NO_ERROR;     \
             glCheckError_ = glGetError())                                          \
            ReportGLError(glCheckError_, #call, __FILE__, __LINE__);                \
    } while (0)
#else
#define GL_CHECK(call) call
#endif
