// The service harness: a real EditorService, a scratch folder, a show double.
#include "tests/author/service_harness.h"

#include <nlohmann/json.hpp>

#include <chrono>

#include "tests/support/player_run.h"

const char kHarnessSong[] =
    "section 0 16 intro\n"
    "section 16 48 verse\n"
    "section 48 80 drop\n"
    "cue 0 start\n"
    "cue 64 hit\n";

void ShowDouble::RefreshTracks(const std::map<std::string, std::vector<TrackKey>>& changed) {
    std::lock_guard<std::mutex> hold(lock);
    for (const auto& [name, keys] : changed) tracks[name] = keys;
}

void ShowDouble::SetSong(const SongForm& form) {
    std::lock_guard<std::mutex> hold(lock);
    song = form;
}

SongForm ShowDouble::Song() {
    std::lock_guard<std::mutex> hold(lock);
    return song;
}

ShowPosition ShowDouble::Transport(const TransportRequest& request) {
    std::lock_guard<std::mutex> hold(lock);
    if (request.play) playing = *request.play;
    if (request.row) row = *request.row;
    if (request.setLoop) loop = request.loop;
    ShowPosition at;
    at.row = row;
    at.playing = playing;
    at.loop = loop;
    return at;
}

void ShowDouble::Print(const std::string& line, bool) {
    std::lock_guard<std::mutex> hold(lock);
    lines.push_back(line);
}

std::vector<TrackKey> ShowDouble::Keys(const std::string& name) {
    std::lock_guard<std::mutex> hold(lock);
    const auto found = tracks.find(name);
    return found == tracks.end() ? std::vector<TrackKey>() : found->second;
}

std::vector<std::string> ShowDouble::Lines() {
    std::lock_guard<std::mutex> hold(lock);
    return lines;
}

ShowPosition ShowDouble::Now() {
    std::lock_guard<std::mutex> hold(lock);
    ShowPosition at;
    at.row = row;
    at.playing = playing;
    at.loop = loop;
    return at;
}

void ShowDouble::Frame(EditorService& service) {
    service.BetweenFrames(*this);
    ShowPosition at;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (playing) row += 0.15;
        at.row = row;
        at.playing = playing;
        at.loop = loop;
    }
    service.FramePresented(at.row, at.playing, at.loop);
}

ServiceHarness::ServiceHarness(const std::string& source, const std::function<void(EditorConfig&)>& adjust,
                               bool runFrames) {
    dir.Write("show.sync", source);
    dir.Write("song.txt", kHarnessSong);
    EditorConfig config;
    config.server.port = 0;
    config.server.idleMilliseconds = 2000;
    config.sourcePath = dir / "show.sync";
    config.sectionsPath = dir / "song.txt";
    config.songPath = dir / "no-song.ogg";
    config.editorFolder = dir / "editor";
    config.demoTracks = {"Fade", "Camera Yaw", "Effect Index"};
    // Long enough for a starved frame thread on a busy machine; the test of
    // a show that never answers sets its own.
    config.transportWait = std::chrono::milliseconds(10000);
    if (adjust) adjust(config);
    started = service.Start(config, &error);
    if (started && runFrames) {
        framing = true;
        frames = std::thread([this] {
            while (framing) {
                show.Frame(service);
                std::this_thread::sleep_for(std::chrono::milliseconds(4));  // a frame's pace, not a wait
            }
        });
    }
}

ServiceHarness::~ServiceHarness() {
    StopFrames();
    service.Stop();
}

void ServiceHarness::StopFrames() {
    framing = false;
    if (frames.joinable()) frames.join();
}

HttpReply ServiceHarness::Get(const std::string& path) { return Http(Port(), "GET", path, "", {Bearer()}); }

HttpReply ServiceHarness::Post(const std::string& path, const std::string& body) {
    return Http(Port(), "POST", path, body, {Bearer()});
}

std::unique_ptr<WebSocketClient> ServiceHarness::Live(bool reading, int receiveBuffer) {
    const size_t before = service.Hub().Clients();
    auto client = std::make_unique<WebSocketClient>(
        Port(), std::vector<std::string>{"Cookie: tessel_session=" + Token()}, reading, receiveBuffer);
    // The handshake's answer comes before the service lists the client: wait
    // for that, so that a change made next reaches it.
    if (client->Handshake() == 101) WaitUntil([&] { return service.Hub().Clients() > before; }, 10);
    return client;
}

bool ServiceHarness::FilesChanged() {
    const size_t before = service.SourceReads();
    service.FilesChanged();
    return WaitUntil([&] { return service.SourceReads() > before; }, 10);
}

bool ServiceHarness::WaitForFile(const std::string& bytes, double seconds) const {
    return WaitUntil([&] { return SourceFile() == bytes; }, seconds);
}

std::string Field(const std::string& json, const std::string& name) {
    const nlohmann::json value = nlohmann::json::parse(json, nullptr, false);
    if (!value.is_object() || !value.contains(name)) return "";
    return value[name].is_string() ? value[name].get<std::string>() : value[name].dump();
}
