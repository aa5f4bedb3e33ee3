// Engine: owns every subsystem, starts them in one fixed order with a log line
// per step, runs paced frames while the music plays, answers the few window
// messages that matter and tears everything down in a fixed order.
#pragma once

#include <cstdint>
#include <functional>
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
    // The player's start-up: the phases below in order, with ./LogFile.txt,
    // Config.txt, a window, the default sound device and the show's demo.
    // True when the demo is ready to run.
    bool Init(platform::Instance instance);

    // Start-up phases, so that other programs can drive the same engine with
    // their own log, surface or sound. Each false result ends start-up.
    struct WindowSettings {
        int width = 1280;
        int height = 720;
        bool fullScreen = false;
    };
    // Opens the log (the engine owns it from here on) and publishes it.
    bool OpenLog(ILogger* log);
    // GL entry points through a hidden bootstrap window.
    bool LoadExtensions(platform::Instance instance);
    // Config.txt's window entries, logged, with the defaults for bad values.
    WindowSettings ReadWindowSettings();
    bool CreateMainWindow(platform::Instance instance, const WindowSettings& settings);
    // Config.txt's multisample count, logged, 0 when missing.
    int ReadSamples();
    // Starts the renderer (owned from here on) on the main window, or on the
    // renderer's own surface when there is none; shows the loading bar.
    bool StartRenderer(IRenderer* renderer, int samples);
    // The music (owned from here on) with the song, the sync system and the
    // demo (owned); the music starts once the demo has loaded.
    bool StartShow(IDemoAudioSystem* music, IDemo* demo);
    // One frame: music check, demo render, frame counter, pacing sleep.
    void RunFrame();
    // The tear-down sequence; safe after a failed Init.
    void Shutdown();
    // The renderer's clock and the demo back to where a fresh start has
    // them, for a program that renders moments out of order.
    void Rewind();
    platform::Result HandleMessage(platform::WindowHandle window, platform::MessageId message,
                                   platform::WParam wParam, platform::LParam lParam);
    void UpdateClientSize();

    // Another program's keys: called first for WM_KEYDOWN and WM_CHAR with
    // the message and its key; true when it took the key. The player sets none.
    std::function<bool(platform::MessageId, platform::WParam)> keyHandler;

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
