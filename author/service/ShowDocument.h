// ShowDocument: the editing service's one document, the track source and
// the song form as the show plays them, with its revision and its history.
// Every change goes through it under one lock, from the server's threads
// (edits, undo, redo) and the source keeper's (saves made elsewhere, writes
// of ours); each is handed to the listener under that lock, so that the
// show, the saver and the pages see the changes in the order they happened.
//
// While the source on disk does not compile (a text editor holds work in
// progress), the document and the show keep what they have and every change
// of ours is refused (409): writing would destroy that work.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "author/service/DocumentHistory.h"
#include "author/service/EditRequest.h"
#include "tools/songform/SongForm.h"
#include "tools/synctool/SourceEdit.h"

struct TrackUpdate {
    std::string name;
    std::vector<TrackKey> keys;
};

// One change of the document, as the listener receives it.
struct DocumentChange {
    int64_t revision = 0;
    std::string cause;                  // "edit", "undo", "redo" or "reload"
    std::vector<TrackUpdate> tracks;    // the tracks whose keys changed, with their new keys
    std::optional<SongForm> song;       // the song form, when it changed
    std::string message;                // the pages' "document" message
};

class DocumentListener {
public:
    virtual ~DocumentListener() = default;
    // Each is called with the document's lock held: keep it short, never block.
    virtual void DocumentChanged(const DocumentChange& change) = 0;
    // The pages' "compile", "conflict" and "save" messages.
    virtual void Notice(const std::string& message) = 0;
    // A line for the author's terminal and overlay: a reload's result or
    // the compiler's messages (ok false).
    virtual void Report(const std::string& line, bool ok) = 0;
};

// What a request did: the HTTP status and the JSON to answer with.
struct DocumentReply {
    int status = 200;
    nlohmann::json body;
};

class ShowDocument {
public:
    // `demoTracks`: the tracks the demo reads, in the order it asked for them.
    ShowDocument(std::vector<std::string> demoTracks, DocumentListener* listener)
        : demoTracks(std::move(demoTracks)), listener(listener) {}

    // The starting document: the source's bytes as on disk, against the song
    // form (null when it has errors, formErrors). When they do not compile
    // the document is empty and refuses changes until a save that compiles
    // (errors has the compiler's lines).
    bool Start(const std::string& text, const std::string& sourceName, const SongForm* song,
               const std::vector<std::string>& formErrors, std::vector<std::string>* errors);

    DocumentReply Edit(const EditRequest& request);
    DocumentReply Undo();
    DocumentReply Redo();
    // GET /api/show's body without its position (the caller adds it).
    nlohmann::json Show() const;

    // The source file's bytes and the song form (or its errors) as just read
    // from disk. Bytes that are what we last wrote, with the same form, are
    // ours and change nothing. Otherwise the document takes the file in (a
    // step that Undo can take back), or, when it does not compile, keeps
    // what it has and reports the compiler's message.
    void FilesRead(const std::string& sourceBytes, const SongForm* song, const std::vector<std::string>& formErrors);

    // For the saver: the text to write when the document differs from what
    // is on disk and may be written; false otherwise.
    bool Unsaved(std::string* text) const;
    // The saver wrote `text`, or failed to write with `error`.
    void Saved(const std::string& text);
    void SaveFailed(const std::string& error);
    // The bytes last known to be in the file (read or written by us).
    std::string DiskText() const;

    int64_t Revision() const;
    // Runs `work` with the lock held and the current revision (never call
    // back into the document from it).
    void Locked(const std::function<void(int64_t revision)>& work) const;
    bool CompileOk() const;

private:
    DocumentReply Step(bool undo);
    // Takes `text` against `song` as the new document and tells the listener;
    // false (nothing changed) when it does not compile.
    bool Replace(const std::string& text, const SongForm& song, const std::string& cause, bool songChanged,
                 std::vector<std::string>* errors);
    void Announce(const std::vector<SourceTrack>& before, const std::string& cause, bool songChanged);
    nlohmann::json TrackJsonOf(const std::string& name) const;
    bool KnownTrack(const std::string& name) const;
    void SetCompileError(const std::string& message);

    mutable std::mutex lock;
    const std::vector<std::string> demoTracks;
    DocumentListener* listener;
    SourceDocument source;
    SongForm song;
    std::string sourceName;
    int64_t revision = 1;
    DocumentHistory history;
    std::string compileError;  // non-empty while the files on disk do not compile
    std::string diskText;
    bool loaded = false;       // the document holds a source that compiled
    bool unwritten = false;    // it holds changes of ours not yet in the file
    bool saveOk = true;
    std::string saveError;
};
