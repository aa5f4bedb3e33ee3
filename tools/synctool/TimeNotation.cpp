// Writing a key's time in the style of the source around it.
#include "tools/synctool/TimeNotation.h"

#include "tools/songform/TextLines.h"

bool IsNamedTime(const std::string& written) {
    int64_t row = 0;
    return !written.empty() && !ParseBeatTime(written, &row);
}

std::string RewriteTime(const std::string& written, int32_t row, const SongForm* song) {
    if (!IsNamedTime(written) || !song) return FormatBeatTime(row);
    const std::string name = written.substr(0, written.find_first_of("+-"));
    int32_t base = 0;
    if (!song->FindRow(name, &base)) return FormatBeatTime(row);
    const int64_t offset = int64_t(row) - base;
    if (offset == 0) return name;
    return name + (offset > 0 ? "+" : "-") + FormatBeatTime(offset > 0 ? offset : -offset);
}

std::string NewKeyTime(int32_t row, bool neighbourUsesNames, const SongForm* song,
                       const std::map<int32_t, std::string>& namesInUse) {
    if (!neighbourUsesNames || !song) return FormatBeatTime(row);
    const auto used = namesInUse.find(row);
    if (used != namesInUse.end()) return used->second;
    for (const SongCue& cue : song->cues)
        if (cue.Row() == row) return cue.name;
    for (const SongSection& section : song->sections)
        if (section.StartRow() == row) return section.name;
    return FormatBeatTime(row);
}
