// SourceDocument: a track source as its text and its parsed tracks, with
// edits of single keys that rewrite only the lines they concern. Every byte
// an edit does not touch stays as it was: comments, blank lines, the order
// of tracks and the notation of other keys. A changed key keeps its notation
// where it can (see TimeNotation.h); a new key is placed among its track's
// lines and aligned like its neighbours; a track the source lacks gets a new
// block at the end, written as `synctool dump` writes one.
//
// The edits of one Apply are made in one pass over the lines; the new text is
// then parsed once and the document takes its tracks from that parse,
// refusing the edits when they are not exactly the intended keys: the text
// always compiles to the tracks the document holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "tools/songform/SongForm.h"
#include "tools/synctool/TrackSource.h"

enum class KeyEditKind { Set, Delete, Move };

struct KeyEdit {
    KeyEditKind kind = KeyEditKind::Set;
    std::string track;
    int32_t row = 0;        // the key's row (for a move: where it is)
    int32_t to = 0;         // a move's new row
    float value = 0;        // a set's value
    bool keepValue = false; // a set of a key that exists keeps its value (set only its interpolation)
    bool keepType = true;   // a set keeps the key's interpolation (a new key: step)
    int32_t type = Step;    // a set's interpolation when keepType is false
};

// The most keys an edit lets one track hold (a track file of about 590 KB).
constexpr size_t kMaxEditedTrackKeys = 65536;

class SourceDocument {
public:
    // Parses text against song (copied; null: names are not times). False
    // with the compiler's "SOURCE:LINE:COLUMN: message" lines in errors; the
    // document is then unchanged.
    bool Load(const std::string& text, const std::string& sourceName, const SongForm* song,
              std::vector<std::string>* errors);

    // Applies the edits in order, all or none. False with "op N: what is
    // wrong" (N counting from 0) and the document unchanged.
    bool Apply(const std::vector<KeyEdit>& edits, std::string* error);

    const std::string& Text() const { return text; }
    const std::vector<SourceTrack>& Tracks() const { return tracks; }
    const std::string& SourceName() const { return sourceName; }
    const SongForm* Song() const { return hasSong ? &song : nullptr; }
    // The track of that name, or null.
    const SourceTrack* Find(const std::string& name) const;

private:
    enum class Outcome { Taken, Refused, Unreadable };
    // The first `count` edits made on a copy of the text: Taken with the new
    // text and its parse; Refused with "op N: ..." for an op that cannot be
    // made; Unreadable when the text made would not read back as intended.
    Outcome Attempt(const std::vector<KeyEdit>& edits, size_t count, std::string* newText,
                    std::vector<SourceTrack>* parsed, std::string* error) const;

    std::string text;
    std::string sourceName;
    SongForm song;
    bool hasSong = false;
    std::vector<SourceTrack> tracks;
};

// Why a track of this name cannot get a block of its own in a source (empty
// when it can): the text form must read the same name back.
std::string WritableTrackNameProblem(const std::string& name);

// The names of the tracks whose keys differ between before and after (a
// track in only one of them counts), in after's order then before's.
std::vector<std::string> ChangedTrackNames(const std::vector<SourceTrack>& before,
                                           const std::vector<SourceTrack>& after);

// True when both hold the same keys: rows, interpolations, value bits.
bool SameKeys(const std::vector<TrackKey>& a, const std::vector<TrackKey>& b);
