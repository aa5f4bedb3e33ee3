// AuthorSession: start-up through the engine's phases, the key map, the work
// between frames and the overlay's state.
#include "author/AuthorSession.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "audio/ALDemoAudioSystem.h"
#include "author/AuthorMusic.h"
#include "author/DemoRebuild.h"
#include "author/OverlaySurface.h"
#include "author/OverlayText.h"
#include "core/TextLogger.h"
#include "demo/TestDemo.h"
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
    AuthorFiles files{ResolvedPath(options.source), ResolvedPath(options.sections), ResolvedPath(options.shaders)};
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
                                              return RebuildDemo(engine, log);
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
            BetweenFrames();
            engine.RunFrame();
            if (music->TakeHeldAtEnd()) Print(transport->PausedByMusic());
        }
    }
}

void AuthorSession::Shutdown() {
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
    const std::vector<std::string> changed = watch.Poll();
    if (!changed.empty() && reload->Changed(changed)) Print(reload->LastResult());
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
