// FilmstripReach: which of the filmstrip's pictures a change of tracks can
// alter. A picture is the show at one moment after a run-up from the
// song's start, so most tracks reach only the pictures whose moment reads a
// different value; a track that moves a scene's clock or picks the scene
// ("Effect Time", "Effect Index") changes what every later moment has
// accumulated, so it reaches every picture from the first moment whose
// value changed onwards. Values are compared where the pictures are taken.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"

using TrackKeyMap = std::map<std::string, std::vector<TrackKey>>;

// True for the tracks whose past values the show accumulates.
bool TrackMovesClocks(const std::string& name);

// For each moment (in rows, ascending), whether giving `changed` its new
// keys (over `before`; a name missing from `before` had no keys) alters the
// picture there.
std::vector<bool> ReachedMoments(const std::vector<double>& moments, const TrackKeyMap& before,
                                 const TrackKeyMap& changed);
