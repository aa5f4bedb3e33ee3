// Engine: owns every subsystem, starts them in one fixed order with a log line
// per step, runs paced frames while the music plays, answers the few window
// messages that matter and tears everything down in a fixed order.
#pragma once

#include <cstdint>
#include <memory>

#include "core/ConfigFile.h"
#include "platform/AppWindow.h"
#include "platform/platform.h"
#include "sync/SyncSystem.h"

class IRenderer;
class ILogger;
class IDemoAudioSystem;
class IDemo;

class Engine {
public:
    // The start-up sequence; true when the demo is ready to run.
    bool Init(platform::Instance instance);
    // One frame: music check, demo render, frame counter, pacing sleep.
    void RunFrame();
    // The tear-down sequence; safe after a failed Init.
    void Shutdown();
    platform::Result HandleMessage(platform::WindowHandle window, platform::MessageId message,
                                   platform::WParam wParam, platform::LParam lParam);
    void UpdateClientSize();

    // Replaceable clock and sleep, so that frame pacing can be tested.
    uint32_t (*tickSource)() = platform::GetTickCount;
    void (*sleeper)(uint32_t) = platform::Sleep;

    IRenderer* renderer = nullptr;
    int clientHeight = 0;
    int clientWidth = 0;
    ILogger* logger = nullptr;
    ConfigFile config;
    IDemoAudioSystem* audio = nullptr;
    AppWindow window;
    float frameBudget = 0;
    SyncSystem sync;
    int framesThisSecond = 0;
    float lastCounterTime = 0;
    std::unique_ptr<char16_t[]> savedCaption;
    bool showFrameCounter = false;
    IDemo* demo = nullptr;

private:
    float Now() const { return static_cast<float>(tickSource()); }
};

// The engine the window procedure hands messages to.
extern Engine* gEngine;
