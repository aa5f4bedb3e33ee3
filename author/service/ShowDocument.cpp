// ShowDocument: edits, undo and redo, saves from elsewhere, and the JSON
// the pages see.
#include "author/service/ShowDocument.h"

#include <algorithm>

#include "author/service/ShowJson.h"

namespace {

constexpr int kBeatsPerMinute = 140;

bool SameForm(const SongForm& a, const SongForm& b) {
    if (a.sections.size() != b.sections.size() || a.cues.size() != b.cues.size()) return false;
    for (size_t i = 0; i < a.sections.size(); ++i)
        if (a.sections[i].name != b.sections[i].name || a.sections[i].start != b.sections[i].start ||
            a.sections[i].end != b.sections[i].end)
            return false;
    for (size_t i = 0; i < a.cues.size(); ++i)
        if (a.cues[i].name != b.cues[i].name || a.cues[i].beat != b.cues[i].beat) return false;
    return true;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

nlohmann::json ErrorJsonValue(const std::string& message) { return {{"error", message}}; }

}  // namespace

bool ShowDocument::Start(const std::string& text, const std::string& name, const SongForm* form,
                         const std::vector<std::string>& formErrors, std::vector<std::string>* errors) {
    std::lock_guard<std::mutex> hold(lock);
    sourceName = name;
    diskText = text;
    if (!form) {
        *errors = formErrors;
        compileError = Joined(formErrors);
        return false;
    }
    song = *form;
    loaded = source.Load(text, sourceName, &song, errors);
    compileError = loaded ? "" : Joined(*errors);
    return loaded;
}

bool ShowDocument::KnownTrack(const std::string& name) const {
    return std::find(demoTracks.begin(), demoTracks.end(), name) != demoTracks.end() || source.Find(name);
}

nlohmann::json ShowDocument::TrackJsonOf(const std::string& name) const {
    const SourceTrack* track = source.Find(name);
    return TrackJson(name, track ? track->keys : std::vector<TrackKey>());
}

DocumentReply ShowDocument::Edit(const EditRequest& request) {
    std::lock_guard<std::mutex> hold(lock);
    if (!compileError.empty())
        return {409, ErrorJsonValue("the source on disk does not compile, so edits wait until it does: " + compileError)};
    if (request.revision && *request.revision != revision)
        return {409, ErrorJsonValue("revision " + std::to_string(*request.revision) + " is stale: the document is at " +
                               std::to_string(revision))};
    for (size_t i = 0; i < request.edits.size(); ++i)
        if (!KnownTrack(request.edits[i].track))
            return {400, ErrorJsonValue("op " + std::to_string(i) + ": unknown track '" + request.edits[i].track + "'")};
    const std::string before = source.Text();
    const std::vector<SourceTrack> beforeTracks = source.Tracks();
    std::string error;
    if (!source.Apply(request.edits, &error)) return {400, ErrorJsonValue(error)};
    nlohmann::json changed = nlohmann::json::array();
    if (source.Text() != before) {
        history.Record(before, request.group);
        ++revision;
        unwritten = true;
        Announce(beforeTracks, "edit", false);
        for (const std::string& name : ChangedTrackNames(beforeTracks, source.Tracks())) changed.push_back(TrackJsonOf(name));
    }
    return {200, {{"revision", revision}, {"tracks", changed}}};
}

DocumentReply ShowDocument::Undo() { return Step(true); }
DocumentReply ShowDocument::Redo() { return Step(false); }

DocumentReply ShowDocument::Step(bool undo) {
    std::lock_guard<std::mutex> hold(lock);
    const char* what = undo ? "undo" : "redo";
    if (!compileError.empty())
        return {409, ErrorJsonValue(std::string("the source on disk does not compile, so ") + what +
                               " waits until it does: " + compileError)};
    std::string text;
    if (!(undo ? history.Undo(source.Text(), &text) : history.Redo(source.Text(), &text)))
        return {409, ErrorJsonValue(std::string("nothing to ") + what)};
    const std::vector<SourceTrack> beforeTracks = source.Tracks();
    std::vector<std::string> errors;
    if (!Replace(text, song, what, false, &errors)) {
        history.Unpop(undo, text);
        return {409, ErrorJsonValue(std::string("cannot ") + what + ": that source does not compile with the song form now: " +
                               Joined(errors))};
    }
    unwritten = true;
    nlohmann::json changed = nlohmann::json::array();
    for (const std::string& name : ChangedTrackNames(beforeTracks, source.Tracks())) changed.push_back(TrackJsonOf(name));
    return {200, {{"revision", revision}, {"tracks", changed}}};
}

bool ShowDocument::Replace(const std::string& text, const SongForm& form, const std::string& cause, bool songChanged,
                           std::vector<std::string>* errors) {
    SourceDocument next;
    if (!next.Load(text, sourceName, &form, errors)) return false;
    if (loaded && text == source.Text() && !songChanged) return true;
    // A save from elsewhere is a step of its own that Undo can take back.
    if (cause == "reload" && loaded && text != source.Text()) {
        history.Record(source.Text(), "");
        history.BreakGroup();
    }
    const std::vector<SourceTrack> before = source.Tracks();
    source = std::move(next);
    song = form;
    loaded = true;
    ++revision;
    Announce(before, cause, songChanged);
    return true;
}

void ShowDocument::Announce(const std::vector<SourceTrack>& before, const std::string& cause, bool songChanged) {
    DocumentChange change;
    change.revision = revision;
    change.cause = cause;
    nlohmann::json tracks = nlohmann::json::array();
    for (const std::string& name : ChangedTrackNames(before, source.Tracks())) {
        const SourceTrack* track = source.Find(name);
        change.tracks.push_back({name, track ? track->keys : std::vector<TrackKey>()});
        tracks.push_back(TrackJsonOf(name));
    }
    nlohmann::json message = {{"type", "document"}, {"revision", revision}, {"cause", cause}, {"tracks", tracks}};
    if (songChanged) {
        change.song = song;
        message["sections"] = SectionsJson(song);
        message["rows"] = SongRows(song);
    }
    change.message = Dump(message);
    if (listener) listener->DocumentChanged(change);
}

void ShowDocument::SetCompileError(const std::string& message) {
    if (message == compileError) return;
    compileError = message;
    if (!listener) return;
    listener->Notice(Dump({{"type", "compile"}, {"ok", false}, {"message", message}}));
    listener->Report(message, false);
}

void ShowDocument::FilesRead(const std::string& bytes, const SongForm* form, const std::vector<std::string>& formErrors) {
    std::lock_guard<std::mutex> hold(lock);
    const bool sourceChanged = bytes != diskText;
    const bool formChanged = form && !SameForm(*form, song);
    if (form && !sourceChanged && !formChanged && compileError.empty()) return;  // ours, or nothing new
    const bool conflict = sourceChanged && unwritten;
    if (sourceChanged) diskText = bytes;
    // The text editor's save wins over changes of ours not yet written;
    // they stay in the history.
    if (conflict) unwritten = false;
    auto tellConflict = [&] {
        if (conflict && listener)
            listener->Notice(Dump({{"type", "conflict"},
                                   {"message", BaseName(sourceName) +
                                                   " was saved elsewhere before our last edit was written: that save "
                                                   "wins; Undo brings our edit back"}}));
    };
    if (!form) {
        SetCompileError(Joined(formErrors));
        tellConflict();
        return;
    }
    std::vector<std::string> errors;
    const std::string text = unwritten ? source.Text() : diskText;
    if (!Replace(text, *form, "reload", formChanged, &errors)) {
        SetCompileError(Joined(errors));
        tellConflict();
        return;
    }
    if (!compileError.empty()) {
        compileError.clear();
        if (listener) listener->Notice(Dump({{"type", "compile"}, {"ok", true}}));
    }
    if (listener)
        listener->Report("tracks reloaded from " + BaseName(sourceName) + ": " + std::to_string(source.Tracks().size()) +
                             " tracks",
                         true);
    tellConflict();
}

bool ShowDocument::Unsaved(std::string* text) const {
    std::lock_guard<std::mutex> hold(lock);
    if (!compileError.empty() || !unwritten) return false;
    *text = source.Text();
    return true;
}

void ShowDocument::Saved(const std::string& text) {
    std::lock_guard<std::mutex> hold(lock);
    diskText = text;
    if (text == source.Text()) unwritten = false;
    if (!saveOk) {
        saveOk = true;
        saveError.clear();
        if (listener) listener->Notice(Dump({{"type", "save"}, {"ok", true}}));
    }
}

void ShowDocument::SaveFailed(const std::string& error) {
    std::lock_guard<std::mutex> hold(lock);
    saveOk = false;
    saveError = error;
    if (!listener) return;
    listener->Notice(Dump({{"type", "save"}, {"ok", false}, {"error", error}}));
    listener->Report("not saved: " + error, false);
}

std::string ShowDocument::DiskText() const {
    std::lock_guard<std::mutex> hold(lock);
    return diskText;
}

int64_t ShowDocument::Revision() const {
    std::lock_guard<std::mutex> hold(lock);
    return revision;
}

void ShowDocument::Locked(const std::function<void(int64_t revision)>& work) const {
    std::lock_guard<std::mutex> hold(lock);
    work(revision);
}

bool ShowDocument::CompileOk() const {
    std::lock_guard<std::mutex> hold(lock);
    return compileError.empty();
}

nlohmann::json ShowDocument::Show() const {
    std::lock_guard<std::mutex> hold(lock);
    nlohmann::json tracks = nlohmann::json::array();
    for (const std::string& name : demoTracks) tracks.push_back(TrackJsonOf(name));
    for (const SourceTrack& track : source.Tracks())
        if (std::find(demoTracks.begin(), demoTracks.end(), track.name) == demoTracks.end())
            tracks.push_back(TrackJson(track.name, track.keys));
    nlohmann::json saved = {{"ok", saveOk}};
    if (!saveOk) saved["error"] = saveError;
    return {{"bpm", kBeatsPerMinute},
            {"rowsPerBeat", kSongRowsPerBeat},
            {"rows", SongRows(song)},
            {"sections", SectionsJson(song)},
            {"tracks", tracks},
            {"revision", revision},
            {"saved", saved},
            {"compileError", compileError.empty() ? nlohmann::json(nullptr) : nlohmann::json(compileError)}};
}
