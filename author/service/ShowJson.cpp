// The JSON shapes of the editing service.
#include "author/service/ShowJson.h"

#include <cmath>
#include <cstdlib>

#include "sync/TrackFile.h"
#include "tools/synctool/TrackSource.h"

std::string InterpolationText(int32_t type) {
    const char* name = InterpolationName(type);
    return name ? name : std::to_string(type);
}

bool InterpolationFromText(const std::string& text, int32_t* type) {
    for (int32_t t = Step; t <= Ramp; ++t)
        if (text == InterpolationName(t)) {
            *type = t;
            return true;
        }
    // A type the source writes as a number goes out as that number's text.
    for (int32_t t = -128; t <= 127; ++t)
        if (text == InterpolationText(t)) {
            *type = t;
            return true;
        }
    return false;
}

nlohmann::json TrackJson(const std::string& name, const std::vector<TrackKey>& keys) {
    nlohmann::json list = nlohmann::json::array();
    for (const TrackKey& key : keys) {
        nlohmann::json value = nullptr;
        // Through the float's shortest text, so that 0.1f goes out as 0.1.
        if (std::isfinite(key.value)) value = std::strtod(FormatValue(key.value).c_str(), nullptr);
        list.push_back({{"row", key.row}, {"value", value}, {"interp", InterpolationText(key.type)}});
    }
    return {{"name", name}, {"keys", std::move(list)}};
}

nlohmann::json SectionsJson(const SongForm& song) {
    nlohmann::json list = nlohmann::json::array();
    for (const SongSection& section : song.sections)
        list.push_back({{"name", section.name}, {"row", section.StartRow()}, {"kind", "section"}, {"endRow", section.EndRow()}});
    for (const SongCue& cue : song.cues) list.push_back({{"name", cue.name}, {"row", cue.Row()}, {"kind", "cue"}});
    return list;
}

int64_t SongRows(const SongForm& song) { return int64_t(std::llround(song.EndBeat() * kSongRowsPerBeat)); }

std::string Dump(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string ErrorJson(const std::string& message) { return Dump({{"error", message}}); }
