// AuthorSession: start-up through the engine's phases, the key map, the work
// between frames and the overlay's state.
#include "author/AuthorSession.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>

#include "audio/ALDemoAudioSystem.h"
#include "author/AuthorMusic.h"
#include "author/DemoRebuild.h"
#include "author/OverlaySurface.h"
#include "author/OverlayText.h"
#include "author/ProgramFolder.h"
#include "core/TextLogger.h"
#include "demo/TestDemo.h"
#include "platform/Desktop.h"
#include "render/GLRenderer.h"

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string CurrentFolder() {
    char folder[PATH_MAX];
    return getcwd(folder, sizeof folder) ? folder : "";
}

}  // namespace

bool AuthorSession::Start(const AuthorOptions& options, std::string* error) {
    files = AuthorFiles{ResolvedPath(options.source), ResolvedPath(options.sections), ResolvedPath(options.shaders)};
    if (files.source.empty()) *error = options.source + ": no such file";
    if (files.sections.empty()) *error = options.sections + ": no such file";
    if (files.shaders.empty()) *error = options.shaders + ": no such folder";
    if (files.source.empty() || files.sections.empty() || files.shaders.empty()) return false;
    showFolder = CurrentFolder();
    if (showFolder.empty() || !runFolder.Make(showFolder, files.shaders, error)) return false;
    if (chdir(runFolder.path().c_str()) != 0) {
        *error = "cannot enter the run folder " + runFolder.path();
        return false;
    }

    if (options.editor) {
        // Listening first, so that a port in use is told before any window.
        service = std::make_unique<EditorService>();
        ServerConfig server;
        server.listen = options.listen;
        server.port = options.port;
        if (!service->Listen(server, error)) {
            service.reset();
            return false;
        }
    }

    started = true;
    engine.OpenLog(new TextLogger(showFolder + "/AuthorLog.txt", "tessel-author"));
    if (!engine.LoadExtensions(platform::GetInstance())) {
        *error = "no OpenGL 3.3 on this display (see AuthorLog.txt)";
        return false;
    }
    if (!engine.CreateMainWindow(platform::GetInstance(), engine.ReadWindowSettings())) {
        *error = "the window could not be made (see AuthorLog.txt)";
        return false;
    }
    platform::SetWindowText(engine.window.handle, u"Tessel Author");
    const int samples = engine.ReadSamples();
    auto overlaid = std::make_unique<OverlaySurface>();
    surface = overlaid.get();
    if (!engine.StartRenderer(new GLRenderer(std::move(overlaid)), samples)) {
        *error = "the renderer could not start (see AuthorLog.txt)";
        return false;
    }
    music = new AuthorMusic(std::make_unique<ALDemoAudioSystem>());
    if (!engine.StartShow(music, new TestDemo)) {
        *error = "the show could not start (see AuthorLog.txt)";
        return false;
    }
    if (painter.Init()) surface->overlay = [this] { DrawOverlay(); };

    for (const std::string& folder : {FolderOf(files.source), FolderOf(files.sections), files.shaders})
        if (!watch.Watch(folder))
            std::fprintf(stderr, "tessel-author: cannot watch %s; saves there are not followed\n", folder.c_str());
    reload = std::make_unique<LiveReload>(files, engine.sync.device, &song,
                                          [this](const std::string&, std::string* log) {
                                              const bool built = RebuildDemo(engine, log);
                                              // The filmstrip's children build the same shaders.
                                              if (built && service) service->ShadersSaved();
                                              return built;
                                          });
    if (!reload->ReloadTracks()) {
        // The show folder's compiled tracks play until the source compiles.
        std::vector<std::string> ignored;
        LoadSongForm(files.sections, song, ignored);
    }
    Print(reload->LastResult());
    transport = std::make_unique<Transport>(engine.audio, &song);
    engine.keyHandler = [this](platform::MessageId message, platform::WParam key) {
        return HandleKey(message, key);
    };
    countStart = platform::GetTickCount();
    return !options.editor || StartService(options, error);
}

bool AuthorSession::StartService(const AuthorOptions& options, std::string* error) {
    EditorConfig config;
    config.server.listen = options.listen;
    config.server.port = options.port;
    config.sourcePath = files.source;
    config.sectionsPath = files.sections;
    config.songPath = showFolder + "/Audio/Song_094_Final.ogg";
    config.editorFolder = ProgramFolder() + "/editor";
    if (engine.sync.device)
        for (const SyncTrack* track : engine.sync.device->tracks) config.demoTracks.push_back(track->name);
    if (options.filmstrip) {
        // The children run in the run folder, as the show does, and log beside AuthorLog.txt.
        FilmstripConfig strip;
        strip.stillsProgram = options.stillsProgram.empty() ? ProgramFolder() + "/tessel-stills" : options.stillsProgram;
        strip.logFolder = showFolder;
        strip.idlePriority = options.filmstripIdle;
        strip.report = [](const std::string& line) { std::fprintf(stderr, "tessel-author: %s\n", line.c_str()); };
        config.filmstrip = strip;
    }
    if (!service->Start(config, error)) {
        service.reset();
        return false;
    }
    serviceShow = std::make_unique<ServiceShow>(
        engine.sync.device, &song, transport.get(), [this](const std::string& line) { Print(line); },
        [this](const std::string& line, bool ok) {
            Print(line);
            reload->Report(ok, line);
        });
    const bool loopback = options.listen == "127.0.0.1" || options.listen == "localhost" || options.listen == "::1";
    if (!loopback)
        std::fprintf(stderr, "tessel-author: warning: the editor listens on %s: other machines may reach it\n",
                     options.listen.c_str());
    Print("editor: " + service->Address());
    std::string problem;
    if (options.open && !platform::OpenInBrowser(service->Address(), &problem))
        std::fprintf(stderr, "tessel-author: %s\n", problem.c_str());
    return true;
}

void AuthorSession::Run(const volatile std::sig_atomic_t* stop) {
    platform::Message message;
    for (;;) {
        if (stop && *stop) break;
        if (platform::PeekMessage(&message)) {
            platform::TranslateMessage(&message);
            platform::DispatchMessage(&message);
            if (message.message == platform::WM_QUIT) break;
        } else {
            RunOneFrame();
        }
    }
}

namespace {

// Milliseconds the pacing sleep of the current frame took (see RunOneFrame).
double sleptMs = 0;

void MeasuredSleep(uint32_t milliseconds) {
    const auto start = std::chrono::steady_clock::now();
    platform::Sleep(milliseconds);
    sleptMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

void AuthorSession::RunOneFrame() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    if (recordFrames) {
        engine.sleeper = MeasuredSleep;
        sleptMs = 0;
        serviceMs = 0;
    }
    BetweenFrames();
    engine.RunFrame();
    if (music->TakeHeldAtEnd()) Print(transport->PausedByMusic());
    if (service) {
        const Clock::time_point pushStart = Clock::now();
        const ShowPosition at = TransportPosition(*transport);
        service->FramePresented(at.row, at.playing, at.loop);
        if (recordFrames) serviceMs += std::chrono::duration<double, std::milli>(Clock::now() - pushStart).count();
    }
    if (recordFrames)
        frames.push_back(
            {start, std::chrono::duration<double, std::milli>(Clock::now() - start).count() - sleptMs, serviceMs});
}

void AuthorSession::Shutdown() {
    // The service first: it writes what is unwritten and stops its threads.
    if (service) service->Stop();
    service.reset();
    serviceShow.reset();
    if (!started) return;
    started = false;
    engine.keyHandler = nullptr;
    if (surface) surface->overlay = nullptr;
    painter.Shutdown();
    engine.Shutdown();
    surface = nullptr;
    music = nullptr;
    // Back to the show folder; the run folder goes by its absolute path either way.
    if (!showFolder.empty() && chdir(showFolder.c_str()) != 0) showFolder.clear();
}

bool AuthorSession::HandleKey(platform::MessageId message, platform::WParam key) {
    if (message != platform::WM_KEYDOWN || !transport) return false;
    TransportKey action;
    switch (key) {
        case platform::VK_TAB:
            overlayShown = !overlayShown;
            Print(overlayShown ? "overlay shown" : "overlay hidden");
            return true;
        case platform::VK_SPACE: action = TransportKey::PauseResume; break;
        case platform::VK_LEFT: action = TransportKey::BarBack; break;
        case platform::VK_RIGHT: action = TransportKey::BarForward; break;
        case platform::VK_PRIOR: action = TransportKey::MarkBack; break;
        case platform::VK_NEXT: action = TransportKey::MarkForward; break;
        case platform::VK_HOME: action = TransportKey::Start; break;
        case platform::VK_END: action = TransportKey::End; break;
        case 'L': action = TransportKey::Loop; break;
        default: return false;
    }
    Print(transport->Press(action));
    return true;
}

void AuthorSession::BetweenFrames() {
    std::vector<std::string> changed = watch.Poll();
    if (service && !changed.empty()) {
        // The service owns the source and the song form: it tells its own
        // saves from others' and reloads on its thread; shaders stay here.
        const auto isOurs = [&](const std::string& path) { return path == files.source || path == files.sections; };
        if (std::any_of(changed.begin(), changed.end(), isOurs)) service->FilesChanged();
        changed.erase(std::remove_if(changed.begin(), changed.end(), isOurs), changed.end());
    }
    if (!changed.empty() && reload->Changed(changed)) Print(reload->LastResult());
    if (service) {
        const auto drainStart = std::chrono::steady_clock::now();
        service->BetweenFrames(*serviceShow);
        if (recordFrames)
            serviceMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - drainStart).count();
    }
    if (transport->Tick()) Print(PositionLine(song, transport->LoopStart()));
    ++framesCounted;
    const uint32_t now = platform::GetTickCount();
    if (now - countStart >= 1000) {
        framesPerSecond = framesCounted;
        framesCounted = 0;
        countStart = now;
    }
}

void AuthorSession::DrawOverlay() {
    OverlayState state;
    state.beat = transport ? transport->Position() : 0;
    const SongSection* section = song.SectionAt(state.beat);
    state.section = section ? section->name : "";
    state.framesPerSecond = framesPerSecond;
    state.paused = transport && transport->Paused();
    state.looping = transport && transport->Looping();
    if (reload) {
        state.reloadOk = reload->LastOk();
        state.reloadResult = reload->LastResult();
    }
    state.device = engine.sync.device;
    painter.Draw(OverlayLines(state, overlayShown), static_cast<int>(engine.renderer->width),
                 static_cast<int>(engine.renderer->height));
}

void AuthorSession::Print(const std::string& text) {
    std::fputs((text + "\n").c_str(), stdout);
    std::fflush(stdout);
}
