// Real OpenGL for tests: one private Xvfb per test process, GLEW loaded on a
// bootstrap window as the engine does, visible windows of the real platform
// layer, and a window with the real GLRenderer on it. Windows of any size may
// be asked for; the X screen is 1600 x 1000.
#pragma once

#include "platform/platform.h"
#include "render/GLRenderer.h"
#include "tests/support/recording_logger.h"

namespace gltest {

using testsupport::RecordingLogger;

// Starts the process's X server and loads GLEW once; false when either fails.
bool Ready();
// A new visible window of the test class with that client size; null on failure.
platform::WindowHandle NewWindow(int width, int height);

// A window with an initialised renderer, published as gRenderer, and a
// logger published as gLogger; all of it released with the object.
class GLWindow {
public:
    GLWindow() = default;
    ~GLWindow();
    GLWindow(const GLWindow&) = delete;
    GLWindow& operator=(const GLWindow&) = delete;
    // Publishes the logger first, so the renderer's start-up lines are kept.
    bool Start(int width, int height);

    GLRenderer renderer;
    RecordingLogger logger;

private:
    platform::WindowHandle window = nullptr;
    bool rendererStarted = false;
};

}  // namespace gltest
