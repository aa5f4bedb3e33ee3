// Prints, for a track source, every track's keys and the value the player's
// evaluation (GetValue) gives at every row from a little before the first
// key to a little after the last, as one JSON object:
//   {"from": R0, "to": R1, "tracks": [{"name", "keys": [{row, value, interp}],
//    "values": [v(R0), ..., v(R1)]}]}
// Values are written with nine significant digits, enough to read back as
// exactly the same float. The browser test compares the page's evaluation
// with these. Non-finite values are not written (the fixture has none).
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "sync/TrackFile.h"
#include "tools/synctool/TrackSource.h"

namespace {

// The interpolation's name as the track tools write it.
const char* InterpName(int32_t type) {
    const char* name = InterpolationName(type);
    return name ? name : "unknown";
}

std::string Number(float value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", double(value));
    return text;
}

// The name with JSON's escapes.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: %s SOURCE   (prints every row's value as JSON)\n", argv[0]);
        return argc == 2 ? 0 : 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::vector<SourceTrack> tracks;
    std::vector<std::string> errors;
    if (!ParseTrackSource(text.str(), argv[1], nullptr, &tracks, &errors)) {
        for (const std::string& error : errors) std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    int first = 0, last = 0;
    for (const SourceTrack& track : tracks)
        for (const TrackKey& key : track.keys) {
            first = std::min(first, key.row);
            last = std::max(last, key.row);
        }
    first -= 20;
    last += 20;

    std::string out = "{\"from\":" + std::to_string(first) + ",\"to\":" + std::to_string(last) + ",\"tracks\":[";
    for (size_t t = 0; t < tracks.size(); ++t) {
        SyncTrack track;
        track.name = tracks[t].name;
        track.keys = tracks[t].keys;
        track.numKeys = int32_t(track.keys.size());
        out += (t ? ",{\"name\":" : "{\"name\":") + Quoted(track.name) + ",\"keys\":[";
        for (size_t k = 0; k < track.keys.size(); ++k) {
            const TrackKey& key = track.keys[k];
            out += (k ? ",{\"row\":" : "{\"row\":") + std::to_string(key.row) + ",\"value\":" + Number(key.value) +
                   ",\"interp\":\"" + InterpName(key.type) + "\"}";
        }
        out += "],\"values\":[";
        for (int row = first; row <= last; ++row)
            out += (row > first ? "," : "") + Number(GetValue(&track, double(row)));
        out += "]}";
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}
