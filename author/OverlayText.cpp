// OverlayText: composing the overlay's lines.
#include "author/OverlayText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/songform/SongForm.h"

namespace {

void AddLines(const std::string& text, std::vector<std::string>* lines) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        lines->push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

}  // namespace

std::vector<std::string> OverlayLines(const OverlayState& state, bool full) {
    std::vector<std::string> lines;
    if (!full) {
        if (!state.reloadOk) AddLines(state.reloadResult, &lines);
        return lines;
    }
    const double row = std::floor(std::max(0.0, state.beat) * kSongRowsPerBeat);
    const long whole = static_cast<long>(row);
    char text[160];
    std::snprintf(text, sizeof text, "%ld:%02ld  row %ld  %s", whole / kSongRowsPerBeat, whole % kSongRowsPerBeat,
                  whole, state.section.empty() ? "-" : state.section.c_str());
    lines.push_back(text);
    std::snprintf(text, sizeof text, "%d fps  %s%s", state.framesPerSecond, state.paused ? "paused" : "playing",
                  state.looping ? "  looping the section" : "");
    lines.push_back(text);
    if (!state.reloadResult.empty()) AddLines(state.reloadResult, &lines);
    if (state.device) {
        lines.push_back("");
        for (const SyncTrack* track : state.device->tracks) {
            std::snprintf(text, sizeof text, "%-20s %10.3f", track->name.c_str(), GetValue(track, row));
            lines.push_back(text);
        }
    }
    return lines;
}
