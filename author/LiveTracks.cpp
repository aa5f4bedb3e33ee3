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

namespace {

void SetKeys(SyncDevice& device, const std::string& name, const std::vector<TrackKey>& keys) {
    const int found = device.FindTrack(name.c_str());
    SyncTrack* track = nullptr;
    if (found >= 0) {
        track = device.tracks[static_cast<size_t>(found)];
    } else {
        track = new SyncTrack;
        track->name = name;
        device.tracks.push_back(track);
        device.numTracks = static_cast<int32_t>(device.tracks.size());
    }
    track->keys = keys;
    track->numKeys = static_cast<int32_t>(track->keys.size());
}

}  // namespace

void SwapTracks(SyncDevice& device, const std::vector<SourceTrack>& tracks) {
    for (SyncTrack* track : device.tracks) {
        track->keys.clear();
        track->numKeys = 0;
    }
    for (const SourceTrack& source : tracks) SetKeys(device, source.name, source.keys);
}

void RefreshTracks(SyncDevice& device, const std::map<std::string, std::vector<TrackKey>>& tracks) {
    for (const auto& [name, keys] : tracks) SetKeys(device, name, keys);
}
