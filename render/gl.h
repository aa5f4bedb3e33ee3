// The GL entry points (GLEW) and the opt-in GL error report for development:
// a build with -DTESSEL_GL_DEBUG=ON logs every GL error as an error line
// naming the call that raised it, through the driver's debug output
// (KHR_debug), synchronously, on the thread that made the call. Shipped
// builds install nothing and query nothing.
#pragma once

#include <GL/glew.h>

#ifdef TESSEL_GL_DEBUG
// Turns on synchronous debug output on the current context and logs each
// error message; false (with an error line) when the driver has none.
bool InstallGLErrorReport();
#else
inline bool InstallGLErrorReport() { return true; }
#endif
