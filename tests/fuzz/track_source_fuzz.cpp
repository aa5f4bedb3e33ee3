// Fuzz target: track source text through synctool's front end, against a
// small song form so that section and cue names resolve. Every track that
// parses is written back as text, which must parse to exactly the same keys,
// and encoded as a track file, which the player must read back the same.
// A source that parses also takes in-place edits of its first track's keys
// (a value, a move to a free row, a new key, a deletion): each must be
// taken, whatever the text's layout, since the editor refuses an edit whose
// text would not read back as intended; and made together as one batch they
// give the same text as one at a time.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "sync/TrackFile.h"
#include "tools/songform/SongForm.h"
#include "tools/synctool/SourceEdit.h"
#include "tools/synctool/TrackSource.h"

namespace {

const SongForm& Form() {
    static SongForm form;
    static bool parsed = [] {
        std::vector<std::string> errors;
        return ParseSongForm("section 0 8 intro\nsection 8 24 drop\nsection 24 32.5 outro\ncue 12:8 hit\n",
                             "form.txt", form, errors);
    }();
    if (!parsed) std::abort();
    return form;
}

// The edits, each applied alone to a fresh copy; a refusal aborts.
void EditInPlace(const std::string& text, const SongForm* form, const SourceTrack& track) {
    SourceDocument document;
    std::vector<std::string> errors;
    if (!document.Load(text, "fuzz.sync", form, &errors)) std::abort();
    auto taken = [&](int32_t row) {
        for (const TrackKey& key : track.keys)
            if (key.row == row) return true;
        return false;
    };
    int32_t free = track.keys.empty() ? 0 : track.keys.back().row;
    while (taken(free) && free < INT32_MAX) ++free;
    if (taken(free)) return;
    std::vector<KeyEdit> edits;
    KeyEdit set;
    set.track = track.name;
    set.row = free;
    set.value = 0.25f;
    set.keepType = false;
    set.type = Linear;
    edits.push_back(set);
    if (!track.keys.empty()) {
        KeyEdit change = set;
        change.row = track.keys.front().row;
        change.value = -1234.5f;
        edits.push_back(change);
        KeyEdit move;
        move.kind = KeyEditKind::Move;
        move.track = track.name;
        move.row = track.keys.front().row;
        move.to = free;
        edits.push_back(move);
        KeyEdit remove = move;
        remove.kind = KeyEditKind::Delete;
        edits.push_back(remove);
    }
    for (const KeyEdit& edit : edits) {
        SourceDocument copy = document;
        std::string error;
        if (!copy.Apply({edit}, &error)) std::abort();
    }
    // Edits that do not collide, as one batch: the very text they give one
    // at a time.
    std::vector<KeyEdit> batch = {edits[0]};
    if (edits.size() > 1) batch.push_back(edits[1]);
    if (track.keys.size() > 1) {
        KeyEdit remove = edits[3];
        remove.row = track.keys.back().row;
        batch.push_back(remove);
    }
    SourceDocument together = document, alone = document;
    std::string error;
    if (!together.Apply(batch, &error)) std::abort();
    for (const KeyEdit& edit : batch)
        if (!alone.Apply({edit}, &error)) std::abort();
    if (together.Text() != alone.Text()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<SourceTrack> tracks;
    std::vector<std::string> errors;
    const bool ok = ParseTrackSource(text, "fuzz.sync", size % 2 ? &Form() : nullptr, &tracks, &errors);
    if (ok != errors.empty()) std::abort();
    for (const SourceTrack& track : tracks) {
        if (!TrackNameProblem(track.name).empty() || !RowsStrictlyIncreasing(track.keys)) std::abort();
        std::vector<SourceTrack> again;
        std::vector<std::string> againErrors;
        if (!ParseTrackSource(FormatTrackSource(track.name, track.keys), "again.sync", nullptr, &again,
                              &againErrors))
            std::abort();
        if (again.size() != 1 || again[0].name != track.name || !SameKeys(again[0].keys, track.keys)) std::abort();
        SyncTrack read;
        ApplyTrackBytes(&read, EncodeTrackBytes(track.keys), "fuzz.track");
        if (!SameKeys(read.keys, track.keys)) std::abort();
    }
    if (ok && !tracks.empty()) EditInPlace(text, size % 2 ? &Form() : nullptr, tracks.front());
    return 0;
}
