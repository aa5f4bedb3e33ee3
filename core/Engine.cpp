// Engine: the start-up sequence with a log line per step, one paced frame,
// the window messages that matter (move, size, Escape, 'f') and the
// tear-down sequence, which also runs after a failed start-up and then skips
// whatever was never created. Sizes that cannot be a window (not positive,
// or beyond what a screen could be) count as missing, as does a negative
// multisample count, so the defaults apply with their error lines.
#include "core/Engine.h"

#include <charconv>

#include "audio/ALDemoAudioSystem.h"
#include "core/FileLogger.h"
#include "core/ToWide.h"
#include "demo/TestDemo.h"
#include "render/GLRenderer.h"

namespace {

const char16_t kLineEnd[] = u"\r\n";
const char16_t kDebugPrefix[] = u"DEBUG: ";
const char16_t kErrorPrefix[] = u"ERROR: ";

// Larger than any display a window could be shown on.
constexpr int kMaxScreenSide = 16384;

bool UsableSide(int pixels) { return pixels > 0 && pixels <= kMaxScreenSide; }

const char* DemoName(const IDemo* demo) { return demo->name ? demo->name : "Unknown Demo"; }

}  // namespace

bool Engine::Init(platform::Instance instance) {
    if (!OpenLog(new FileLogger(kLineEnd, kDebugPrefix, kErrorPrefix))) return false;
    if (!LoadExtensions(instance)) return false;
    const WindowSettings settings = ReadWindowSettings();
    if (!CreateMainWindow(instance, settings)) return false;
    const int samples = ReadSamples();
    if (!StartRenderer(new GLRenderer, samples)) return false;
    // Without sound start-up goes on; the first frame then ends the run.
    return StartShow(new ALDemoAudioSystem, new TestDemo);
}

bool Engine::OpenLog(ILogger* log) {
    logger = log;
    if (!logger->Open()) return false;
    gLogger = logger;
    logger->WriteTimestamp();
    logger->WriteLine("Logger Initialized.");
    return true;
}

bool Engine::LoadExtensions(platform::Instance instance) {
    // The bootstrap window stays hidden until the process ends: destroying
    // it would post the quit message.
    AppWindow bootstrap;
    bootstrap.Create(instance, this, 0, 0, false, false);
    if (!bootstrap.LoadGLExtensions()) {
        logger->WriteError("Failed to initialize extensions!");
        return false;
    }
    return true;
}

Engine::WindowSettings Engine::ReadWindowSettings() {
    config.Load();
    WindowSettings settings;
    settings.width = config.GetInt("ScreenWidth");
    settings.height = config.GetInt("ScreenHeight");
    logger->WritePair("Screen Width: ", config.GetString("ScreenWidth").c_str());
    logger->WritePair("Screen Height: ", config.GetString("ScreenHeight").c_str());
    int fullScreenValue = config.GetInt("IsFullScreen");
    logger->WritePair("Full Screen: ", config.GetString("IsFullScreen").c_str());
    settings.fullScreen = fullScreenValue != 0;
    if (!UsableSide(settings.width) || !UsableSide(settings.height)) {
        logger->WriteError("Error: Failed to read screen size values. Using defaults.");
        settings.width = 1280;
        settings.height = 720;
    }
    return settings;
}

bool Engine::CreateMainWindow(platform::Instance instance, const WindowSettings& settings) {
    // A refused full-screen mode leaves no window to draw into.
    if (!window.Create(instance, this, settings.width, settings.height, true, settings.fullScreen) ||
        !window.handle) {
        logger->WriteError("Failed to create the main window!");
        return false;
    }
    UpdateClientSize();
    return true;
}

int Engine::ReadSamples() {
    int samples = config.GetInt("FSAA");
    logger->WritePair("Full Scene Anti Aliasing: ", config.GetString("FSAA").c_str());
    if (samples < 0) {
        logger->WriteError("Error: Failed to read FSAA value. Using default.");
        samples = 0;
    }
    return samples;
}

bool Engine::StartRenderer(IRenderer* newRenderer, int samples) {
    renderer = newRenderer;
    if (!renderer->Init(window.handle, samples)) {
        logger->WriteError("Failed to initialize the renderer!");
        return false;
    }
    gRenderer = renderer;
    logger->WriteLine("Renderer Initialized.");
    logger->WriteLine("Engine Initialized.");

    framesThisSecond = 0;
    lastCounterTime = 0;
    int captionUnits = (window.handle ? platform::GetWindowTextLength(window.handle) : 0) + 1;
    savedCaption.reset(new char16_t[captionUnits]());
    if (window.handle) platform::GetWindowText(window.handle, savedCaption.get(), captionUnits);
    showFrameCounter = false;

    renderer->InitLoadingBar();
    renderer->loadingProgress = 10;
    renderer->DrawLoadingBar();
    return true;
}

bool Engine::StartShow(IDemoAudioSystem* music, IDemo* newDemo) {
    // The results are not tested: without sound the first frame ends the run.
    audio = music;
    audio->Init();
    audio->LoadSong("./Audio/Song_094_Final.ogg", 140);
    renderer->loadingProgress = 20;
    renderer->DrawLoadingBar();

    frameBudget = 16.67f;

    gSyncSystem = &sync;
    if (sync.Init(audio))
        logger->WriteLine("Sync System Initialized.");
    else
        logger->WriteError("Sync System Failed To Initialize!");
    renderer->loadingProgress = 30;
    renderer->DrawLoadingBar();

    demo = newDemo;
    logger->WritePair("Initializing Demo: ", DemoName(demo));
    if (!demo->Init()) return false;  // the demo has said why

    renderer->ShutdownLoadingBar();
    audio->Play();
    return true;
}

void Engine::RunFrame() {
    float t0 = Now();
    if (!audio || !audio->IsPlaying()) {
        platform::PostQuitMessage(0);
        return;
    }
    float t1 = Now();
    audio->SetListenerPosition(0, 0, 0);
    if (demo) demo->Render();
    float t2 = Now();
    framesThisSecond += 1;

    if (static_cast<double>(Now() - lastCounterTime) >= 1000.0) {
        if (showFrameCounter) {
            char digits[8] = {};
            auto written = std::to_chars(digits, digits + sizeof digits - 1, framesThisSecond);
            if (written.ec == std::errc()) platform::SetWindowText(window.handle, ToWide(digits));
        }
        framesThisSecond = 0;
        lastCounterTime = Now();
    }

    float elapsed = (t2 - t1) + (t1 - t0);
    float remaining = frameBudget - elapsed;
    if (remaining > 0) sleeper(static_cast<uint32_t>(remaining));
}

void Engine::Rewind() {
    if (renderer) renderer->Rewind();
    if (demo) demo->Rewind();
}

void Engine::Shutdown() {
    if (logger && gLogger == logger) logger->WriteLine("Engine Shutting Down.");
    if (audio) audio->Stop();
    savedCaption.reset();
    DestroySyncDevice(sync.device);
    sync.device = nullptr;
    if (demo) {
        if (gLogger == logger && logger) logger->WritePair("Shutting Down Demo: ", DemoName(demo));
        demo->Shutdown();
        delete demo;
        demo = nullptr;
        // The demo's post-processors are gone with it.
        if (renderer) renderer->postProcessor = nullptr;
    }
    if (audio) audio->Shutdown();
    if (renderer) {
        if (gLogger == logger && logger) logger->WriteLine("Renderer Shutting Down.");
        renderer->Shutdown();
    }
    if (logger && gLogger == logger) {
        logger->WriteLine("Logger Shutting Down.");
        logger->WriteTimestamp();
        logger->Close();
    }
    // The global pointers must not outlive what they point to.
    if (gRenderer == renderer) gRenderer = nullptr;
    delete renderer;
    renderer = nullptr;
    if (gLogger == logger) gLogger = nullptr;
    delete logger;
    logger = nullptr;
    delete audio;
    audio = nullptr;
    if (window.handle) {
        platform::DestroyWindow(window.handle);
        window.handle = nullptr;
    }
}

platform::Result Engine::HandleMessage(platform::WindowHandle handle, platform::MessageId message,
                                       platform::WParam wParam, platform::LParam lParam) {
    switch (message) {
        case platform::WM_MOVE:
            UpdateClientSize();
            return 0;
        case platform::WM_SIZE:
            UpdateClientSize();
            if (renderer) renderer->Resize(clientHeight, clientWidth);
            return 0;
        case platform::WM_KEYDOWN:
            if (keyHandler && keyHandler(message, wParam)) return 0;
            if (wParam == platform::VK_ESCAPE) platform::PostQuitMessage(0);
            return 0;
        case platform::WM_CHAR:
            if (keyHandler && keyHandler(message, wParam)) return 0;
            if ((wParam & 0xFF) == 0x66) {
                if (showFrameCounter) {
                    if (savedCaption) platform::SetWindowText(window.handle, savedCaption.get());
                    showFrameCounter = false;
                } else {
                    showFrameCounter = true;
                }
            }
            return 0;
        default:
            return platform::DefWindowProc(handle, message, wParam, lParam);
    }
}

void Engine::UpdateClientSize() {
    if (!window.handle) return;
    platform::Rect rect;
    if (!platform::GetClientRect(window.handle, &rect)) return;
    clientWidth = rect.right - rect.left;
    clientHeight = rect.bottom - rect.top;
}
