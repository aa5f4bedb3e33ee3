// AuthorSession: the live authoring loop. The player's engine, started
// through its phases with the author's log (AuthorLog.txt in the show
// folder), an overlay on the window surface and music that may be held
// paused, runs in a run folder (RunFolder) whose Shaders link is the
// author's shader folder. Between two frames it takes the watcher's saves
// (LiveReload), the transport's loop turns (Transport) and the keys.
// Results and positions go to standard output, one line each.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

#include "author/AuthorOptions.h"
#include "author/LiveReload.h"
#include "author/OverlayPainter.h"
#include "author/RunFolder.h"
#include "author/Transport.h"
#include "core/Engine.h"
#include "platform/FileWatch.h"
#include "tools/songform/SongForm.h"

class AuthorMusic;
class OverlaySurface;

class AuthorSession {
public:
    AuthorSession() = default;
    AuthorSession(const AuthorSession&) = delete;
    AuthorSession& operator=(const AuthorSession&) = delete;
    ~AuthorSession() { Shutdown(); }

    // Starts everything in the current folder (the show folder); false with
    // *error when a path, the folder, the window or the show fails.
    bool Start(const AuthorOptions& options, std::string* error);
    // Runs frames until Escape, a closed window or `stop` (may be null,
    // polled between frames) is set; the song's end holds it paused.
    void Run(const volatile std::sig_atomic_t* stop);
    void Shutdown();

private:
    bool HandleKey(platform::MessageId message, platform::WParam key);
    void BetweenFrames();
    void DrawOverlay();
    void Print(const std::string& text);

    Engine engine;
    RunFolder runFolder;
    std::string showFolder;
    bool started = false;
    SongForm song;
    std::unique_ptr<Transport> transport;
    std::unique_ptr<LiveReload> reload;
    platform::FileWatch watch;
    OverlaySurface* surface = nullptr;  // owned by the renderer
    AuthorMusic* music = nullptr;       // owned by the engine
    OverlayPainter painter;
    bool overlayShown = true;
    int framesPerSecond = 0;
    int framesCounted = 0;
    uint32_t countStart = 0;
};
