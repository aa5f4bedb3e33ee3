// Filmstrip: the bars' state under one lock, the two workers' sources of
// work, and the pages' messages.
#include "author/filmstrip/Filmstrip.h"

#include <chrono>
#include <cmath>

#include <nlohmann/json.hpp>

namespace {

constexpr int kBeatsPerBar = 4;
constexpr size_t kMaxBars = 4096;  // a song form of any length keeps the strip bounded
constexpr int kTriesPerPicture = 2;

std::string RowsJson(const std::vector<int64_t>& rows) { return nlohmann::json(rows).dump(); }

}  // namespace

struct Filmstrip::FrameWait {
    double row = 0;
    int width = 0, height = 0;
    std::mutex lock;
    std::condition_variable wake;
    bool done = false;
    bool abandoned = false;
    bool ok = false;
    std::string jpeg;
};

Filmstrip::Filmstrip(FilmstripConfig wanted) : config(std::move(wanted)) {
    StillsSetup setup;
    setup.program = config.stillsProgram;
    setup.report = config.report;
    setup.folder = config.showFolder;
    setup.idle = config.idlePriority;
    setup.logPath = config.logFolder + "/FilmstripLog.txt";
    strip = std::make_unique<StillsWorker>(setup, [this](StillsJob* job) { return NextBar(job); });
    setup.logPath = config.logFolder + "/FrameLog.txt";
    single = std::make_unique<StillsWorker>(setup, [this](StillsJob* job) { return NextFrame(job); });
}

void Filmstrip::Start() {
    {
        std::lock_guard<std::mutex> hold(lock);
        started = true;
    }
    strip->Start();
    single->Start(config.frameWidth, config.frameHeight);
    strip->Wake();
}

void Filmstrip::Stop() {
    strip->Stop();
    single->Stop();
    std::lock_guard<std::mutex> hold(lock);
    started = false;
    for (const auto& wait : frames) {
        std::lock_guard<std::mutex> holdWait(wait->lock);
        wait->done = true;
        wait->wake.notify_all();
    }
    frames.clear();
}

std::vector<double> Filmstrip::BarMoments(const SongForm& song) {
    std::vector<double> moments;
    const double end = song.EndBeat();
    for (size_t bar = 0; bar < kMaxBars && double(bar) * kBeatsPerBar < end; ++bar)
        moments.push_back(double(BeatToRow(double(bar) * kBeatsPerBar)) + 0.5);
    return moments;
}

void Filmstrip::Reach(const std::vector<bool>& reached) {
    std::vector<int64_t> redrawing;
    for (size_t b = 0; b < bars.size(); ++b) {
        Bar& bar = bars[b];
        if (b < reached.size() && reached[b]) {
            ++bar.generation;
            bar.ready = false;
            bar.failures = 0;
            redrawing.push_back(bar.row);
        } else if (bar.ready) {
            bar.revision = revision;  // what it shows has not changed
        }
    }
    if (config.push && !redrawing.empty())
        config.push("{\"type\":\"filmstrip\",\"revision\":" + std::to_string(revision) +
                    ",\"rows\":[],\"redrawing\":" + RowsJson(redrawing) + "}");
}

void Filmstrip::DocumentChanged(int64_t newRevision, const TrackKeyMap& changed, const SongForm* song) {
    // The children take the tracks before the bars are marked: a picture
    // begun in between is of the new tracks, or of an old generation and
    // thrown away, never an old picture taken for a new one.
    strip->SetTracks(changed);
    single->SetTracks(changed);
    {
        std::lock_guard<std::mutex> hold(lock);
        revision = newRevision;
        std::vector<bool> reached;
        if (song) {
            songRows = double(BeatToRow(song->EndBeat()));
            const std::vector<double> moments = BarMoments(*song);
            bars.assign(moments.size(), Bar{});
            for (size_t b = 0; b < moments.size(); ++b) bars[b].row = int64_t(std::floor(moments[b]));
            reached.assign(bars.size(), true);
        } else {
            std::vector<double> moments;
            for (const Bar& bar : bars) moments.push_back(double(bar.row) + 0.5);
            reached = ReachedMoments(moments, tracks, changed);
        }
        for (const auto& [name, keys] : changed) tracks[name] = keys;
        Reach(reached);
    }
    // Woken again now that there is work: the wake the tracks gave may
    // have found none yet.
    strip->Wake();
}

void Filmstrip::ShadersSaved() {
    strip->ShadersSaved();
    single->ShadersSaved();
    {
        std::lock_guard<std::mutex> hold(lock);
        Reach(std::vector<bool>(bars.size(), true));
    }
    strip->Wake();
}

bool Filmstrip::NextBar(StillsJob* job) {
    std::lock_guard<std::mutex> hold(lock);
    // A single frame is someone waiting: the strip gives it the machine's
    // idle time and goes on once it is answered.
    if (!started || !frames.empty() || framesBusy > 0) return false;
    for (size_t b = 0; b < bars.size(); ++b) {
        Bar& bar = bars[b];
        if (bar.ready || bar.drawing || bar.failures >= kTriesPerPicture) continue;
        bar.drawing = true;
        const int64_t generation = bar.generation;
        const int64_t row = bar.row;
        job->row = double(row) + 0.5;
        job->width = config.width;
        job->height = config.height;
        job->done = [this, b, row, generation](bool ok, const std::string& jpeg) {
            std::string message;
            {
                std::lock_guard<std::mutex> holdDone(lock);
                if (b >= bars.size() || bars[b].row != row) return;  // the song form changed meanwhile
                Bar& done = bars[b];
                done.drawing = false;
                if (done.generation != generation) return;  // reached again: drawn again
                if (!ok) {
                    ++done.failures;
                    return;
                }
                done.jpeg = jpeg;
                done.picture = ++pictures;
                done.ready = true;
                done.revision = revision;
                message = "{\"type\":\"filmstrip\",\"revision\":" + std::to_string(revision) + ",\"rows\":[" +
                          std::to_string(row) + "]}";
            }
            if (config.push) config.push(message);
        };
        return true;
    }
    return false;
}

bool Filmstrip::NextFrame(StillsJob* job) {
    std::shared_ptr<FrameWait> wait;
    {
        std::lock_guard<std::mutex> hold(lock);
        while (!frames.empty() && !wait) {
            wait = frames.front();
            frames.pop_front();
            std::lock_guard<std::mutex> holdWait(wait->lock);
            if (wait->abandoned) wait.reset();
        }
    }
    if (!wait) {
        strip->Wake();
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(lock);
        ++framesBusy;
    }
    job->row = wait->row;
    job->width = wait->width;
    job->height = wait->height;
    job->done = [this, wait](bool ok, const std::string& jpeg) {
        {
            std::lock_guard<std::mutex> hold(wait->lock);
            wait->ok = ok;
            wait->jpeg = jpeg;
            wait->done = true;
            wait->wake.notify_all();
        }
        std::lock_guard<std::mutex> hold(lock);
        --framesBusy;
    };
    return true;
}

int Filmstrip::Frame(double row, int width, int height, std::string* jpeg, std::string* error) {
    auto wait = std::make_shared<FrameWait>();
    wait->row = row;
    wait->width = width;
    wait->height = height;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!started) {
            *error = "the filmstrip is off";
            return 503;
        }
        if (frames.size() >= config.frameQueue) {
            *error = "too many frames asked for at once (at most " + std::to_string(config.frameQueue) +
                     " wait); try again in a moment";
            return 503;
        }
        frames.push_back(wait);
    }
    single->Wake();
    std::unique_lock<std::mutex> hold(wait->lock);
    const auto answered = [&] { return wait->done; };
    if (!wait->wake.wait_for(hold, std::chrono::milliseconds(config.frameWaitMilliseconds), answered)) {
        wait->abandoned = true;
        *error = "the picture was not ready in time";
        return 503;
    }
    if (!wait->ok) {
        *error = "the picture could not be made (see the terminal)";
        return 503;
    }
    *jpeg = std::move(wait->jpeg);
    return 200;
}

std::string Filmstrip::ListJson() const {
    std::lock_guard<std::mutex> hold(lock);
    nlohmann::json frameList = nlohmann::json::array();
    for (const Bar& bar : bars)
        frameList.push_back({{"row", bar.row},
                             {"revision", bar.revision},
                             {"ready", bar.ready},
                             {"url", bar.ready || !bar.jpeg.empty()
                                         ? nlohmann::json("/api/filmstrip/" + std::to_string(bar.row) +
                                                          ".jpg?v=" + std::to_string(bar.picture))
                                         : nlohmann::json(nullptr)}});
    return nlohmann::json({{"revision", revision}, {"width", config.width}, {"height", config.height},
                           {"frames", frameList}})
        .dump();
}

bool Filmstrip::Picture(int64_t row, std::string* jpeg) const {
    std::lock_guard<std::mutex> hold(lock);
    for (const Bar& bar : bars)
        if (bar.row == row && !bar.jpeg.empty()) {
            *jpeg = bar.jpeg;
            return true;
        }
    return false;
}

double Filmstrip::SongRows() const {
    std::lock_guard<std::mutex> hold(lock);
    return songRows;
}
