// The capture's run: the engine's start-up phases with the capture's log,
// surface and music, a run-up of the clocks, then one engine frame per
// output frame with its sound mixed right after it.
#include "capture/CaptureSession.h"

#include <sys/stat.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <memory>
#include <vector>

#include "capture/CaptureOptions.h"
#include "capture/LoopbackMusic.h"
#include "capture/OffscreenSurface.h"
#include "core/TextLogger.h"
#include "demo/TestDemo.h"
#include "render/GLRenderer.h"

namespace {

const char kSongPath[] = "./Audio/Song_094_Final.ogg";
// For this long before the first frame the run-up also carries on what the
// scenes keep from picture to picture (the particles' glow), so that it has
// settled as in a capture of the whole show.
constexpr double kKeptStateRunUpSeconds = 1.0;

bool IsFolder(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// The song's sample rate, so that the loopback device mixes at it and the
// soundtrack is the song's samples; 44.1 kHz when the file says nothing.
int SongRate(const char* path) {
    OggVorbis_File file;
    if (ov_fopen(path, &file) < 0) return 44100;
    const vorbis_info* info = ov_info(&file, -1);
    const long rate = info ? info->rate : 0;
    ov_clear(&file);
    return rate > 0 && rate <= 384000 ? static_cast<int>(rate) : 44100;
}

void NoSleep(uint32_t) {}

}  // namespace

bool CaptureSession::Start(const CaptureSettings& wanted, std::string* error) {
    settings = wanted;
    for (const char* folder : {"Shaders", "Textures", "Audio", "sync"}) {
        if (!IsFolder(folder)) {
            *error = std::string("no show folder here: ./") + folder +
                     " is missing (run tessel-capture from the show folder, build/show/)";
            return false;
        }
    }
    struct stat song {};
    if (stat(kSongPath, &song) != 0 || !S_ISREG(song.st_mode)) {
        *error = std::string("the song ") + kSongPath + " is missing";
        return false;
    }

    started = true;
    engine.sleeper = NoSleep;
    engine.OpenLog(new TextLogger(settings.logPath, settings.logName));
    auto offscreen = std::make_unique<OffscreenSurface>(settings.width, settings.height);
    surface = offscreen.get();
    if (!engine.StartRenderer(new GLRenderer(std::move(offscreen)), settings.samples)) {
        *error = "the renderer could not start at " + std::to_string(settings.width) + " x " +
                 std::to_string(settings.height) + " with " + std::to_string(settings.samples) +
                 " samples (see " + settings.logPath + ")";
        return false;
    }
    music = new LoopbackMusic(SongRate(kSongPath));
    const bool demoReady = engine.StartShow(music, new TestDemo);
    if (!music->SongLoaded()) {
        *error = std::string("the song ") + kSongPath + " could not be played (see " + settings.logPath + ")";
        return false;
    }
    if (!demoReady) {
        *error = "the show could not start (see " + settings.logPath + ")";
        return false;
    }
    songSeconds = music->SongSeconds();
    if (settings.to < 0 || settings.to > songSeconds) settings.to = songSeconds;
    if (settings.from >= settings.to) {
        *error = "--from " + std::to_string(settings.from) + " s is at or after the end (" +
                 std::to_string(settings.to) + " s)";
        return false;
    }
    frameCount = static_cast<int>(::FrameCount(settings.from, settings.to, settings.fps));
    if (frameCount < 1) {
        *error = "the span from --from to --to holds no frame at this frame rate";
        return false;
    }
    return true;
}

StreamFormat CaptureSession::Format() const {
    StreamFormat format;
    format.width = settings.width;
    format.height = settings.height;
    format.fps = settings.fps;
    format.sampleRate = music ? music->SampleRate() : 0;
    format.channels = LoopbackMusic::kChannels;
    return format;
}

void CaptureSession::RunUp(double from) {
    const double step = 1.0 / settings.fps;
    const long frames = static_cast<long>(std::floor(from * settings.fps + 1e-9));
    // Nothing of the run-up is seen: its last second only carries on what
    // the scenes keep between drawn frames, as drawing it would.
    engine.renderer->drawFrames = false;
    for (long k = frames; k >= 1; --k) {
        const double time = from - k * step;
        engine.renderer->advanceKeptState = time >= from - kKeptStateRunUpSeconds;
        music->SetTime(time);
        engine.RunFrame();
    }
    engine.renderer->drawFrames = true;
    engine.renderer->advanceKeptState = false;
}

bool CaptureSession::Still(double seconds, std::vector<uint8_t>* rgba) {
    if (!music || !surface) return false;
    engine.Rewind();
    RunUp(seconds);
    bool read = false;
    const size_t bytes = static_cast<size_t>(settings.width) * settings.height * 4;
    surface->SetConsumer([&](const uint8_t* pixels) {
        rgba->assign(pixels, pixels + bytes);
        read = true;
        return true;
    });
    music->SetTime(seconds);
    engine.RunFrame();
    surface->Flush();
    surface->SetConsumer(nullptr);
    return read;
}

bool CaptureSession::Run(IFrameSink& sink, const ProgressFn& progress, const volatile std::sig_atomic_t* stop,
                         std::string* error) {
    if (!music || frameCount < 1) {
        *error = "the capture has not started";
        sink.Abort();
        return false;
    }
    RunUp(settings.from);
    music->SeekSound(settings.from);

    bool pictureRefused = false;
    if (settings.readBack)
        surface->SetConsumer([&](const uint8_t* rgba) {
            if (!sink.WriteVideo(rgba)) pictureRefused = true;
            return !pictureRefused;
        });
    const int rate = music->SampleRate();
    std::vector<int16_t> sound;
    long long samplesDone = 0;
    bool ok = true;
    bool refused = false;  // the sink turned a write down; it knows why
    for (int n = 0; n < frameCount && ok; ++n) {
        if (stop && *stop) {
            *error = "interrupted";
            ok = false;
            break;
        }
        music->SetTime(settings.from + static_cast<double>(n) / settings.fps);
        engine.RunFrame();
        // The sound of this frame: the song's samples up to the next frame's time.
        const long long end = std::llround(static_cast<double>(n + 1) * rate / settings.fps);
        const int frames = static_cast<int>(end - samplesDone);
        sound.resize(static_cast<size_t>(frames) * LoopbackMusic::kChannels);
        music->RenderSound(sound.data(), frames);
        samplesDone = end;
        if (pictureRefused || !sink.WriteAudio(sound.data(), frames)) refused = true, ok = false;
        if (ok && progress) progress(n + 1, frameCount);
    }
    if (ok && !surface->Flush()) refused = true, ok = false;
    surface->SetConsumer(nullptr);
    if (refused) {
        const std::string reason = sink.RefusalReason();
        *error = reason.empty() ? "the output could not be written" : reason;
    } else if (ok && !sink.Finish(error)) {
        ok = false;
    }
    if (!ok) sink.Abort();
    return ok;
}

void CaptureSession::Shutdown() {
    if (!started) return;
    started = false;
    engine.Shutdown();
    music = nullptr;
    surface = nullptr;
}
