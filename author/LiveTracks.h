// LiveTracks: the track source compiled in-process (the compiler of
// `synctool compile`) and swapped into the running sync device. The device's
// SyncTrack objects stay where they are, since the demo's handles point to
// them; only their keys change. A track the source no longer holds loses its
// keys (it reads 0, as a missing file would); a new one is added. A source
// or song form with an error changes nothing.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "tools/songform/SongForm.h"
#include "tools/synctool/TrackSource.h"

// Reads the song form and compiles the source against it. False with
// "FILE:LINE:COLUMN: message" lines (or "FILE: message") in errors.
bool CompileTrackFiles(const std::string& sourcePath, const std::string& sectionsPath, SongForm* song,
                       std::vector<SourceTrack>* tracks, std::vector<std::string>* errors);

// Gives the device's tracks the compiled keys (see above).
void SwapTracks(SyncDevice& device, const std::vector<SourceTrack>& tracks);

// Gives the device's tracks of these names their new keys, leaving the
// others alone; a name the device lacks becomes a new track.
void RefreshTracks(SyncDevice& device, const std::map<std::string, std::vector<TrackKey>>& tracks);
