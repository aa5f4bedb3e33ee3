// A test fixture with its own X server, a probe connected to it, and the
// platform layer's connection closed again afterwards so that the next test
// can bring its own server.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/Engine.h"
#include "platform/x11_internal.h"
#include "tests/support/player_run.h"
#include "tests/support/x11_probe.h"
#include "tests/support/xvfb_server.h"

class OnXvfb : public ::testing::Test {
protected:
    void StartServer(int width = 1920, int height = 1080) {
        server = std::make_unique<XvfbServer>(width, height);
        ASSERT_TRUE(server->ok());
        server->Export();
        probe = std::make_unique<X11Probe>(server->name());
        ASSERT_TRUE(probe->ok());
        ASSERT_NE(platform::GetInstance(), nullptr);
    }
    void TearDown() override {
        KeepGLDriversLoaded();
        platform::x11::CloseInstance();
        gEngine = nullptr;
        probe.reset();
        server.reset();
    }

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<X11Probe> probe;

private:
    // Closing the display unloads Mesa's DRI driver, whose globals still
    // point at blocks it allocated; LeakSanitizer would then report those in
    // a module it can no longer name (so no library suppression can match).
    // One more reference per loaded driver keeps it mapped to the end.
    static void KeepGLDriversLoaded() {
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void*) {
                if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so"))
                    dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD);
                return 0;
            },
            nullptr);
    }
};

// Dispatches every waiting message until `done` holds (or 30 s pass).
inline bool PumpUntil(const std::function<bool()>& done) {
    return WaitUntil([&] {
        platform::Message message;
        while (platform::PeekMessage(&message)) {
            platform::TranslateMessage(&message);
            platform::DispatchMessage(&message);
        }
        return done();
    });
}
