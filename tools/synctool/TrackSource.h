// The readable text form of sync tracks, and its conversion to and from
// track keys.
//
//   # comment to end of line (anywhere)
//   track Camera X Offset        the rest of the line is the track name
//     0        0.0     smooth    time, value, interpolation (default step)
//     4:8      2.5     linear    beat 4 plus 8 sixteenths = row 72
//     drop     10                a section's start or a cue (from the song form)
//     drop+2:4 -3.5    ramp      a name plus or minus a beat time
//
// Times must strictly increase within a track. An interpolation may also be
// a whole number from -128 to 127, so that any file can be written as text;
// a value may be written as raw bits "bits:7fc00001" for the same reason.
#pragma once

#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "tools/songform/SongForm.h"
#include "tools/songform/TextLines.h"

// Where and how the text wrote one key, so that an edit can rewrite just
// that: the line (1-based) and its tokens with their 1-based columns. The
// interpolation token's text is empty when the line has none.
struct KeyText {
    int line = 0;
    Token time;
    Token value;
    Token interpolation;
};

struct SourceTrack {
    std::string name;
    int line = 0;                  // the "track" line
    std::vector<TrackKey> keys;
    std::vector<KeyText> texts;    // one per key, in the same order
};

// Parses a whole source. song may be null (then names are not times). On
// failure returns false with "SOURCE:LINE:COLUMN: message" lines in errors.
bool ParseTrackSource(const std::string& text, const std::string& sourceName, const SongForm* song,
                      std::vector<SourceTrack>* tracks, std::vector<std::string>* errors);

// One track as text; values are written so that they read back exactly.
std::string FormatTrackSource(const std::string& name, const std::vector<TrackKey>& keys);

// The shortest text that reads back as exactly this float.
std::string FormatValue(float value);

// Why a name cannot be a track file name (empty when it can).
std::string TrackNameProblem(const std::string& name);
