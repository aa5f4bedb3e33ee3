// Drawing tracks over the song's beats into one PNG: one strip per track with
// its name and value range, beats along the x axis, sections as shaded bands.
#pragma once

#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "tools/songform/SongForm.h"

struct PlotTrack {
    std::string name;
    std::vector<TrackKey> keys;  // in the order the player keeps them
};

// Image layout, fixed so the size follows from the track count.
constexpr int kPlotWidth = 1600;
constexpr int kPlotTop = 44;       // section names
constexpr int kPlotStrip = 84;     // one track
constexpr int kPlotStripGap = 6;
constexpr int kPlotBottom = 52;    // beat labels and caption

inline int PlotHeight(int tracks) {
    return kPlotTop + (tracks < 1 ? 1 : tracks) * (kPlotStrip + kPlotStripGap) + kPlotBottom;
}

// Draws and writes the PNG; false (with a message) when writing failed.
bool PlotTracks(const std::vector<PlotTrack>& tracks, const SongForm* song, const std::string& outPath,
                std::string* error);
