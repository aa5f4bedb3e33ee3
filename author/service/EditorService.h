// EditorService: the live track editor's service inside tessel-author. One
// document (ShowDocument) that every edit goes through, served over HTTP and
// a WebSocket push channel (EditorServer) to pages on this machine, written
// back to the track source (SourceKeeper), and handed to the show between
// frames (ShowQueue). Network and disk work run on the service's threads;
// the main thread only calls BetweenFrames, FramePresented and FilesChanged,
// none of which waits on anything but a short lock.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "author/filmstrip/Filmstrip.h"
#include "author/service/EditorServer.h"
#include "author/service/PushHub.h"
#include "author/service/ShowDocument.h"
#include "author/service/ShowQueue.h"
#include "author/service/SourceKeeper.h"
#include "author/service/StaticFiles.h"
#include "author/service/Waveform.h"

struct EditorConfig {
    ServerConfig server;
    std::string sourcePath;    // the track source, the one file the service writes
    std::string sectionsPath;  // the song form
    std::string songPath;      // the song, for the waveform and its onsets
    std::string editorFolder;  // the page's files, served from memory
    std::vector<std::string> demoTracks;  // in the order the demo asked for them
    std::chrono::milliseconds saveThrottle{250};
    std::chrono::milliseconds transportWait{2000};
    size_t pushQueueLimit = 512;  // messages a page may fall behind by before it is dropped
    size_t pushQueueBytes = size_t(8) << 20;  // and bytes of them
    std::optional<FilmstripConfig> filmstrip;  // none: the strip is off
};

// What the main thread does for the service: the author session, or a
// double in tests of the service alone.
class ShowSide {
public:
    virtual ~ShowSide() = default;
    // Gives these tracks (every one of them) their new keys in place.
    virtual void RefreshTracks(const std::map<std::string, std::vector<TrackKey>>& tracks) = 0;
    virtual void SetSong(const SongForm& song) = 0;
    // Carries out a transport request; where the show is afterwards (row,
    // playing, loop).
    virtual ShowPosition Transport(const TransportRequest& request) = 0;
    virtual void Print(const std::string& line, bool ok) = 0;
};

class EditorService final : public EditorRoutes, private DocumentListener {
public:
    EditorService() = default;
    ~EditorService() override { Stop(); }
    EditorService(const EditorService&) = delete;
    EditorService& operator=(const EditorService&) = delete;

    // Makes the session token and listens (requests get 503 until Start
    // has run), so that a port in use is known before the show starts.
    // False with *error.
    bool Listen(const ServerConfig& server, std::string* error);
    // Reads the source and the song form and starts the service's threads
    // (listening first, unless Listen did). False with *error when the
    // token, the source or the port fail; a source that does not compile is
    // not a failure (the service waits for a save that compiles).
    bool Start(const EditorConfig& config, std::string* error);
    // Stops listening, writes what is unwritten, ends every thread.
    void Stop();

    // The address to open: http://HOST:PORT/?token=TOKEN
    std::string Address() const;
    int Port() const { return server ? server->Port() : 0; }
    const std::string& Token() const { return token; }

    // Main thread, before each frame: the queued tracks, song form, lines
    // and transport requests.
    void BetweenFrames(ShowSide& show);
    // Main thread, after each frame: where the show is now. Pages get it
    // every frame while it plays and whenever it changed otherwise.
    void FramePresented(double row, bool playing, const std::optional<std::pair<double, double>>& loop);
    // Main thread: the watcher saw the source or the song form saved.
    void FilesChanged();
    // Main thread: the shaders were saved (the filmstrip draws again).
    void ShadersSaved();

    ShowDocument* Document() { return document.get(); }
    // The filmstrip, or null when it is off.
    Filmstrip* Strip() { return filmstrip.get(); }
    size_t SourceWrites() const { return keeper ? size_t(keeper->Writes()) : 0; }
    // Decodes of the song so far (one, and one more each time the file changed).
    int SongDecodes() const { return waveform ? waveform->Decodes() : 0; }
    // Reads of the files that FilesChanged asked for, done so far.
    size_t SourceReads() const { return keeper ? size_t(keeper->Reads()) : 0; }

    // EditorRoutes
    Reply Get(const std::string& path) override { return Get(path, ""); }
    Reply Get(const std::string& path, const std::string& query) override;
    Reply Post(const std::string& path, const std::string& body) override;
    std::shared_ptr<PushHub::Client> Connect(PushHub::Send send, PushHub::Close close) override;
    PushHub& Hub() override { return hub; }
    bool Ready() const override { return ready.load(std::memory_order_acquire); }

private:
    // DocumentListener
    void DocumentChanged(const DocumentChange& change) override;
    void Notice(const std::string& message) override;
    void Report(const std::string& line, bool ok) override;

    Reply Transport(const std::string& body);
    // EditorFilmstrip.cpp: the strip started from the document's first state.
    void StartFilmstrip(const DocumentChange& first);
    static TrackKeyMap TrackMap(const DocumentChange& change);
    ShowPosition LastPosition() const;
    static nlohmann::json PositionJson(const ShowPosition& position);

    EditorConfig config;
    std::string token;
    std::atomic<bool> ready{false};
    PushHub hub;
    ShowQueue queue;
    StaticFiles files;
    std::unique_ptr<ShowDocument> document;
    std::unique_ptr<SourceKeeper> keeper;
    std::unique_ptr<Waveform> waveform;
    std::unique_ptr<Filmstrip> filmstrip;
    std::unique_ptr<EditorServer> server;

    mutable std::mutex positionLock;
    ShowPosition position;     // as of the last frame presented
    int64_t drainedRevision = 0;  // main thread: the newest revision taken for the next frame
    bool positionSent = false;    // main thread
    ShowPosition sent;            // main thread: the last position pushed
};
