// Fuzz target: track source text through synctool's front end, against a
// small song form so that section and cue names resolve. Every track that
// parses is written back as text, which must parse to exactly the same keys,
// and encoded as a track file, which the player must read back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "sync/TrackFile.h"
#include "tools/songform/SongForm.h"
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

bool SameKeys(const std::vector<TrackKey>& a, const std::vector<TrackKey>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].row != b[i].row || a[i].type != b[i].type || std::memcmp(&a[i].value, &b[i].value, 4) != 0)
            return false;
    return true;
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
    return 0;
}
