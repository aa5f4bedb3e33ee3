// The editing service running for real on a loopback port, its files in a
// scratch folder, with the show's side played by a double whose frames run
// on a thread of their own (about 250 a second), so that tests talk HTTP
// and WebSocket to it and look at what reached "the show".
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "author/service/EditorService.h"
#include "tests/support/http_client.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/websocket_client.h"

extern const char kHarnessSong[];

class ShowDouble final : public ShowSide {
public:
    void RefreshTracks(const std::map<std::string, std::vector<TrackKey>>& tracks) override;
    void SetSong(const SongForm& form) override;
    ShowPosition Transport(const TransportRequest& request) override;
    void Print(const std::string& line, bool ok) override;

    // The keys "the show" plays for a track (none when never refreshed).
    std::vector<TrackKey> Keys(const std::string& name);
    std::vector<std::string> Lines();
    ShowPosition Now();
    // The song form the show was last given (empty before any).
    SongForm Song();
    // One frame: the service's queue, the position moved on when playing.
    void Frame(EditorService& service);

private:
    std::mutex lock;
    std::map<std::string, std::vector<TrackKey>> tracks;
    std::vector<std::string> lines;
    SongForm song;
    double row = 0;
    bool playing = true;
    std::optional<std::pair<double, double>> loop;
};

class ServiceHarness {
public:
    // Starts the service on a free port over `source` (and kHarnessSong);
    // `adjust` may change the configuration first.
    explicit ServiceHarness(const std::string& source,
                            const std::function<void(EditorConfig&)>& adjust = nullptr, bool runFrames = true);
    ~ServiceHarness();

    bool Started() const { return started; }
    int Port() const { return service.Port(); }
    const std::string& Token() const { return service.Token(); }
    std::string Bearer() const { return "Authorization: Bearer " + Token(); }

    HttpReply Get(const std::string& path);
    HttpReply Post(const std::string& path, const std::string& body);
    // A push client with the session cookie, once the service lists it.
    std::unique_ptr<WebSocketClient> Live(bool reading = true, int receiveBuffer = 0);
    // The source file's bytes now.
    std::string SourceFile() const { return dir.Read("show.sync"); }
    // Tells the service its files were saved, as the watcher does, and
    // waits until it has read them; false when it did not within 10 s.
    bool FilesChanged();
    // Waits until the file holds what the document holds (GET /api/show's
    // tracks equal a compile of the file) or `seconds` pass.
    bool WaitForFile(const std::string& bytes, double seconds = 10) const;
    void StopFrames();

    ScratchDir dir;
    EditorService service;
    ShowDouble show;
    std::string error;

private:
    bool started = false;
    std::atomic<bool> framing{false};
    std::thread frames;
};

// The value of a string field of a JSON text, for quick checks.
std::string Field(const std::string& json, const std::string& name);
