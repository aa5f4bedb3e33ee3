// AuthorSession: the live authoring loop. The player's engine, started
// through its phases with the author's log (AuthorLog.txt in the show
// folder), an overlay on the window surface and music that may be held
// paused, runs in a run folder (RunFolder) whose Shaders link is the
// author's shader folder. Between two frames it takes the watcher's saves
// (LiveReload), the transport's loop turns (Transport) and the keys.
// Results and positions go to standard output, one line each. Unless
// turned off, the editing service (EditorService) runs beside it: between
// frames the session hands it the saves of the source and the song form
// and carries out what it queued; after each frame it tells it where the
// show is.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

#include "author/AuthorOptions.h"
#include "author/LiveReload.h"
#include "author/OverlayPainter.h"
#include "author/RunFolder.h"
#include "author/ServiceShow.h"
#include "author/Transport.h"
#include "author/service/EditorService.h"
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

    // The editing service, or null (--no-editor).
    EditorService* Service() { return service.get(); }
    // When each frame started and its work in milliseconds (the frame less
    // its pacing sleep), kept only once RecordFrames(true) asked for it (a
    // benchmark does); read after Run.
    struct FrameTiming {
        std::chrono::steady_clock::time_point start;
        double workMs = 0;
        double serviceMs = 0;  // of which the editing service's part (queue, position push)
    };
    const std::vector<FrameTiming>& Frames() const { return frames; }
    void RecordFrames(bool on) { recordFrames = on; }

private:
    bool StartService(const AuthorOptions& options, std::string* error);
    void RunOneFrame();
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
    AuthorFiles files;
    std::unique_ptr<EditorService> service;
    std::unique_ptr<ServiceShow> serviceShow;
    bool recordFrames = false;
    std::vector<FrameTiming> frames;
    double serviceMs = 0;  // the current frame's service part so far
    platform::FileWatch watch;
    OverlaySurface* surface = nullptr;  // owned by the renderer
    AuthorMusic* music = nullptr;       // owned by the engine
    OverlayPainter painter;
    bool overlayShown = true;
    int framesPerSecond = 0;
    int framesCounted = 0;
    uint32_t countStart = 0;
};
