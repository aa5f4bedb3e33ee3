// The process entry: one Engine, a message loop that never blocks and runs a
// frame whenever no message is waiting, and the shutdown once quit arrives.
#include "core/Engine.h"
#include "platform/platform.h"

int main() {
    Engine engine;
    if (!engine.Init(platform::GetInstance())) platform::PostQuitMessage(-1);
    platform::Message message;
    for (;;) {
        if (platform::PeekMessage(&message)) {
            platform::TranslateMessage(&message);
            platform::DispatchMessage(&message);
            if (message.message == platform::WM_QUIT) break;
        } else {
            engine.RunFrame();
        }
    }
    engine.Shutdown();
    return 0;
}
