// EditorService: the routes, the wiring of document, show, saver and pages,
// and the main thread's side.
#include "author/service/EditorService.h"

#include <cmath>

#include "author/filmstrip/FilmstripRoutes.h"
#include "author/service/ShowJson.h"
#include "sync/TrackFile.h"

namespace {

constexpr double kRowsPerSecond = 140.0 / 60.0 * kSongRowsPerBeat;

bool SamePosition(const ShowPosition& a, const ShowPosition& b) {
    return a.row == b.row && a.playing == b.playing && a.loop == b.loop && a.revision == b.revision;
}

nlohmann::json LoopJson(const ShowPosition& at) {
    if (!at.loop) return nullptr;
    return nlohmann::json::array({at.loop->first, at.loop->second});
}

}  // namespace

bool EditorService::Listen(const ServerConfig& wanted, std::string* error) {
    Stop();
    config.server = wanted;
    token = NewSessionToken();
    if (token.empty()) {
        *error = "no random source for the editor's session token";
        return false;
    }
    server = std::make_unique<EditorServer>(this, &files);
    if (!server->Start(config.server, token, error)) {
        server.reset();
        return false;
    }
    return true;
}

bool EditorService::Start(const EditorConfig& wanted, std::string* error) {
    if (!server && !Listen(wanted.server, error)) return false;
    config = wanted;
    hub.SetQueueLimit(config.pushQueueLimit, config.pushQueueBytes);
    files.Load(config.editorFolder);  // none: "/" says the editor's files are missing

    document = std::make_unique<ShowDocument>(config.demoTracks, static_cast<DocumentListener*>(this));
    std::string text;
    SongForm song;
    std::vector<std::string> errors;
    if (!ReadWholeFile(config.sourcePath, &text)) {
        *error = config.sourcePath + ": cannot be read";
        Stop();
        return false;
    }
    std::vector<std::string> formErrors;
    const bool formOk = LoadSongForm(config.sectionsPath, song, formErrors);
    if (document->Start(text, config.sourcePath, formOk ? &song : nullptr, formErrors, &errors)) {
        // The show starts from the document: every track it reads, whatever
        // the compiled files held.
        DocumentChange first;
        first.revision = document->Revision();
        first.song = song;
        SourceDocument parsed;
        std::vector<std::string> ignored;
        parsed.Load(text, config.sourcePath, &song, &ignored);
        for (const std::string& name : config.demoTracks) first.tracks.push_back({name, {}});
        for (const SourceTrack& track : parsed.Tracks()) first.tracks.push_back({track.name, track.keys});
        queue.PostChange(first);
        StartFilmstrip(first);
    } else {
        Report("editor: the source does not compile; edits wait for a save that does", false);
    }

    keeper = std::make_unique<SourceKeeper>(document.get(), config.sourcePath, config.sectionsPath, config.saveThrottle);
    keeper->Start();
    waveform = std::make_unique<Waveform>(config.songPath, kRowsPerSecond);
    ready.store(true, std::memory_order_release);
    return true;
}

void EditorService::Stop() {
    // The server first: no request reaches the document once it has stopped.
    if (server) server->Stop();
    server.reset();
    ready = false;
    if (filmstrip) filmstrip->Stop();
    filmstrip.reset();
    if (keeper) keeper->Stop();
    keeper.reset();
    waveform.reset();
}

std::string EditorService::Address() const {
    const std::string& listen = config.server.listen;
    std::string host = listen == "0.0.0.0" || listen == "::" || listen == "localhost" || listen.empty() ? "127.0.0.1"
                       : listen.find(':') != std::string::npos                                        ? "[" + listen + "]"
                                                                                                       : listen;
    return "http://" + host + ":" + std::to_string(Port()) + "/?token=" + token;
}

// --- the document's listener (called under the document's lock) -----------

void EditorService::DocumentChanged(const DocumentChange& change) {
    // The pages first: none may see a frame of a revision before the change.
    hub.Broadcast(change.message);
    queue.PostChange(change);
    if (keeper) keeper->DocumentChanged();
    if (filmstrip) filmstrip->DocumentChanged(change.revision, TrackMap(change), change.song ? &*change.song : nullptr);
}

void EditorService::Notice(const std::string& message) { hub.Broadcast(message); }

void EditorService::Report(const std::string& line, bool ok) { queue.PostLine(line, ok); }

// --- routes (server threads) ------------------------------------------------

std::shared_ptr<PushHub::Client> EditorService::Connect(PushHub::Send send, PushHub::Close close) {
    std::shared_ptr<PushHub::Client> client;
    // Under the document's lock: no change can fall between the hello's
    // revision and the client's first broadcast.
    document->Locked([&](int64_t revision) {
        client = hub.Add(std::move(send), std::move(close), Dump({{"type", "hello"}, {"revision", revision}}));
    });
    return client;
}

ShowPosition EditorService::LastPosition() const {
    std::lock_guard<std::mutex> hold(positionLock);
    return position;
}

nlohmann::json EditorService::PositionJson(const ShowPosition& at) {
    return {{"row", at.row}, {"playing", at.playing}};
}

EditorRoutes::Reply EditorService::Get(const std::string& path, const std::string& query) {
    Reply strip;
    if (FilmstripGet(filmstrip.get(), path, query, &strip)) return strip;
    if (path == "/api/show") {
        nlohmann::json show = document->Show();
        const ShowPosition at = LastPosition();
        show["position"] = PositionJson(at);
        show["loop"] = LoopJson(at);
        show["frame"] = at.frame;
        return {200, Dump(show)};
    }
    if (path == "/api/waveform") {
        const nlohmann::json show = document->Show();
        std::string json, problem;
        if (!waveform->Json(show["rows"].get<int64_t>(), std::chrono::seconds(30), &json, &problem))
            return {503, ErrorJson(problem)};
        return {200, json};
    }
    if (path == "/api/onsets") {
        std::string json, problem;
        if (!waveform->OnsetsJson(std::chrono::seconds(30), &json, &problem)) return {503, ErrorJson(problem)};
        return {200, json};
    }
    return {404, ErrorJson("no such API: GET " + path)};
}

EditorRoutes::Reply EditorService::Post(const std::string& path, const std::string& body) {
    if (path == "/api/edit") {
        EditRequest request;
        std::string problem;
        if (!ParseEditRequest(body, &request, &problem)) return {400, ErrorJson(problem)};
        DocumentReply reply = document->Edit(request);
        // The frame count at the reply, so that a page (or a test) can tell
        // which presented frame first showed this revision.
        if (reply.status == 200) reply.body["frame"] = LastPosition().frame;
        return {reply.status, Dump(reply.body)};
    }
    if (path == "/api/undo" || path == "/api/redo") {
        DocumentReply reply = path == "/api/undo" ? document->Undo() : document->Redo();
        if (reply.status == 200) reply.body["frame"] = LastPosition().frame;
        return {reply.status, Dump(reply.body)};
    }
    if (path == "/api/transport") return Transport(body);
    return {404, ErrorJson("no such API: POST " + path)};
}

EditorRoutes::Reply EditorService::Transport(const std::string& body) {
    TransportRequest request;
    std::string problem;
    if (!ParseTransportRequest(body, &request, &problem)) return {400, ErrorJson(problem)};
    ShowPosition answer;
    if (!queue.RunTransport(request, &answer, config.transportWait))
        return {503, ErrorJson("the show did not answer in time (is its window stalled?)")};
    return {200, Dump({{"position", PositionJson(answer)}, {"loop", LoopJson(answer)}})};
}

// --- the main thread ---------------------------------------------------------

void EditorService::BetweenFrames(ShowSide& show) {
    if (!queue.Pending()) return;
    ShowQueue::Batch batch = queue.Take();
    if (batch.song) show.SetSong(*batch.song);
    if (!batch.tracks.empty()) show.RefreshTracks(batch.tracks);
    if (batch.revision > drainedRevision) drainedRevision = batch.revision;
    for (const auto& [line, ok] : batch.lines) show.Print(line, ok);
    for (const auto& transport : batch.transports) {
        ShowPosition answer = show.Transport(transport->request);
        answer.frame = position.frame;
        answer.revision = drainedRevision;
        ShowQueue::Answer(*transport, answer);
    }
}

void EditorService::FramePresented(double row, bool playing, const std::optional<std::pair<double, double>>& loop) {
    ShowPosition now;
    {
        std::lock_guard<std::mutex> hold(positionLock);
        position.row = row;
        position.playing = playing;
        position.loop = loop;
        position.frame += 1;
        position.revision = drainedRevision;
        now = position;
    }
    if (!hub.HasClients()) return;
    if (!playing && positionSent && SamePosition(now, sent)) return;
    sent = now;
    positionSent = true;
    char text[256];
    const std::string loopText =
        loop ? "[" + std::to_string(loop->first) + "," + std::to_string(loop->second) + "]" : std::string("null");
    std::snprintf(text, sizeof text,
                  "{\"type\":\"position\",\"row\":%.3f,\"playing\":%s,\"loop\":%s,\"frame\":%lld,\"revision\":%lld}",
                  std::isfinite(row) ? row : 0.0, playing ? "true" : "false", loopText.c_str(),
                  static_cast<long long>(now.frame), static_cast<long long>(now.revision));
    hub.Broadcast(text);
}

void EditorService::FilesChanged() {
    if (keeper) keeper->FilesChanged();
}

void EditorService::ShadersSaved() {
    if (filmstrip) filmstrip->ShadersSaved();
}
