// AppWindow: the main window and the hidden bootstrap window, both of the one
// window class whose procedure hands every message to the engine. Stage 1 of
// the OpenGL set-up (LoadGLExtensions) runs on the bootstrap window.
#pragma once

#include "platform/platform.h"

class Engine;

class AppWindow {
public:
    // Registers the class, switches the display mode for full screen, creates
    // and shows or hides the window. False when the mode is refused (no window).
    bool Create(platform::Instance instance, Engine* engine, int width, int height, bool visible,
                bool fullScreen);

    // Plain pixel format, throw-away legacy context, glewInit. Logs its own
    // error line and returns false on failure.
    bool LoadGLExtensions();

    platform::Instance instance = nullptr;
    platform::WindowHandle handle = nullptr;
};

// The class procedure: WM_DESTROY posts quit, everything else goes to the
// engine (or the default procedure while there is none).
platform::Result AppWindowProcedure(platform::WindowHandle window, platform::MessageId message,
                                    platform::WParam wParam, platform::LParam lParam);
