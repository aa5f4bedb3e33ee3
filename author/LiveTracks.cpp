// LiveTracks: reading, compiling and swapping in the tracks.
#include "author/LiveTracks.h"

#include "sync/TrackFile.h"

bool CompileTrackFiles(const std::string& sourcePath, const std::string& sectionsPath, SongForm* song,
                       std::vector<SourceTrack>* tracks, std::vector<std::string>* errors) {
    SongForm form;
    if (!LoadSongForm(sectionsPath, form, *errors)) return false;
    std::string text;
    if (!ReadWholeFile(sourcePath, &text)) {
        errors->push_back(sourcePath + ": cannot be read");
        return false;
    }
    std::vector<SourceTrack> compiled;
    if (!ParseTrackSource(text, sourcePath, &form, &compiled, errors)) return false;
    *song = std::move(form);
    *tracks = std::move(compiled);
    return true;
}

void SwapTracks(SyncDevice& device, const std::vector<SourceTrack>& tracks) {
    for (SyncTrack* track : device.tracks) {
        track->keys.clear();
        track->numKeys = 0;
    }
    for (const SourceTrack& source : tracks) {
        const int found = device.FindTrack(source.name.c_str());
        SyncTrack* track = nullptr;
        if (found >= 0) {
            track = device.tracks[found];
        } else {
            track = new SyncTrack;
            track->name = source.name;
            device.tracks.push_back(track);
            device.numTracks = static_cast<int32_t>(device.tracks.size());
        }
        track->keys = source.keys;
        track->numKeys = static_cast<int32_t>(track->keys.size());
    }
}
