// Parsing and writing the text form of sync tracks.
#include "tools/synctool/TrackSource.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "sync/TrackFile.h"
#include "tools/songform/TextLines.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool ParseType(const std::string& text, int32_t* type) {
    std::string name = Lower(text);
    for (int32_t t = Step; t <= Ramp; ++t)
        if (name == InterpolationName(t)) {
            *type = t;
            return true;
        }
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || number < -128 || number > 127) return false;
    *type = int32_t(number);
    return true;
}

// "" when the value parsed, else what is wrong with it.
std::string ParseValue(const std::string& text, float* value) {
    if (text.compare(0, 5, "bits:") == 0) {
        std::string hex = text.substr(5);
        char* end = nullptr;
        errno = 0;
        unsigned long bits = std::strtoul(hex.c_str(), &end, 16);
        if (hex.empty() || hex.size() > 8 || *end != '\0' || errno != 0) return "'" + text + "' is not bits:XXXXXXXX";
        uint32_t raw = uint32_t(bits);
        std::memcpy(value, &raw, 4);
        return "";
    }
    char* end = nullptr;
    errno = 0;
    float v = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0') return "'" + text + "' is not a number";
    if (errno == ERANGE && std::isinf(v)) return "'" + text + "' is too large for a 32-bit float";
    *value = v;
    return "";
}

// Resolves a time token to a row; "" on success, else the message.
std::string ParseTime(const Token& token, const SongForm* song, int64_t* row) {
    const std::string& text = token.text;
    if (ParseBeatTime(text, row)) return "";
    if (text.empty() || !(std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_'))
        return "'" + text + "' is not a time (BEAT, BEAT:SIXTEENTH, or a section or cue name)";
    size_t sign = text.find_first_of("+-");
    std::string name = text.substr(0, sign);
    int64_t offset = 0;
    if (sign != std::string::npos) {
        std::string rest = text.substr(sign + 1);
        if (rest.empty() || rest[0] == '+' || rest[0] == '-' || !ParseBeatTime(rest, &offset))
            return "'" + text.substr(sign) + "' is not an offset (+BEAT or +BEAT:SIXTEENTH)";
        if (text[sign] == '-') offset = -offset;
    }
    if (!song) return "'" + name + "' is a name, but no sections file was given (--sections)";
    int32_t named = 0;
    if (!song->FindRow(name, &named)) return "unknown section or cue '" + name + "'";
    *row = int64_t(named) + offset;
    return "";
}

}  // namespace

std::string TrackNameProblem(const std::string& name) {
    if (name.empty()) return "a track needs a name";
    if (name.find('/') != std::string::npos) return "a track name cannot contain '/'";
    if (name.find('\0') != std::string::npos) return "a track name cannot contain a zero byte";
    if (name.size() + 14 > 259) return "track name too long: the player's path ./sync/_NAME.track must fit 259 characters";
    return "";
}

bool ParseTrackSource(const std::string& text, const std::string& sourceName, const SongForm* song,
                      std::vector<SourceTrack>* tracks, std::vector<std::string>* errors) {
    size_t errorsBefore = errors->size();
    std::map<std::string, int> lineOfTrack;
    std::vector<int> lineOfKey;  // per key of the current track
    SourceTrack* current = nullptr;
    bool skippingBrokenTrack = false;
    std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        int lineNumber = int(i) + 1;
        std::string line = StripComment(lines[i]);
        std::vector<Token> tokens = SplitTokens(line);
        if (tokens.empty()) continue;
        auto fail = [&](int column, const std::string& message) {
            errors->push_back(Diagnostic(sourceName, lineNumber, column, message));
        };

        if (tokens[0].text == "track") {
            std::string name = line.substr(size_t(tokens[0].column - 1) + 5);
            size_t first = name.find_first_not_of(" \t");
            name = first == std::string::npos ? "" : name.substr(first);
            int column = tokens.size() > 1 ? tokens[1].column : tokens[0].column;
            std::string problem = TrackNameProblem(name);
            if (!problem.empty()) {
                fail(column, problem);
                current = nullptr;
                skippingBrokenTrack = true;
                continue;
            }
            auto seen = lineOfTrack.find(name);
            if (seen != lineOfTrack.end()) {
                fail(column, "track '" + name + "' is already defined on line " + std::to_string(seen->second));
                current = nullptr;
                skippingBrokenTrack = true;
                continue;
            }
            lineOfTrack[name] = lineNumber;
            tracks->push_back({name, lineNumber, {}, {}});
            current = &tracks->back();
            skippingBrokenTrack = false;
            lineOfKey.clear();
            continue;
        }

        if (!current) {
            // After a broken track line its keys are skipped quietly.
            if (!skippingBrokenTrack) fail(tokens[0].column, "a key before the first 'track' line");
            continue;
        }
        if (tokens.size() < 2) {
            fail(tokens[0].column + int(tokens[0].text.size()), "expected a value after the time");
            continue;
        }
        if (tokens.size() > 3) {
            fail(tokens[3].column, "unexpected '" + tokens[3].text + "' after the interpolation");
            continue;
        }
        int64_t row = 0;
        std::string message = ParseTime(tokens[0], song, &row);
        if (!message.empty()) {
            fail(tokens[0].column, message);
            continue;
        }
        if (row < INT32_MIN || row > INT32_MAX) {
            fail(tokens[0].column, "time is outside the rows a track file can hold");
            continue;
        }
        TrackKey key;
        key.row = int32_t(row);
        message = ParseValue(tokens[1].text, &key.value);
        if (!message.empty()) {
            fail(tokens[1].column, message);
            continue;
        }
        key.type = Step;
        if (tokens.size() == 3 && !ParseType(tokens[2].text, &key.type)) {
            fail(tokens[2].column, "unknown interpolation '" + tokens[2].text + "' (step, linear, smooth or ramp)");
            continue;
        }
        if (!current->keys.empty() && key.row <= current->keys.back().row) {
            fail(tokens[0].column, "time " + FormatBeatTime(key.row) + " (row " + std::to_string(key.row) +
                                       ") is not after the key on line " + std::to_string(lineOfKey.back()) +
                                       " (row " + std::to_string(current->keys.back().row) + ")");
            continue;
        }
        current->keys.push_back(key);
        current->texts.push_back({lineNumber, tokens[0], tokens[1], tokens.size() == 3 ? tokens[2] : Token{"", 0}});
        lineOfKey.push_back(lineNumber);
    }
    return errors->size() == errorsBefore;
}

std::string FormatValue(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    if (std::isnan(value) && bits != 0x7FC00000u) {
        char raw[16];
        std::snprintf(raw, sizeof(raw), "bits:%08x", unsigned(bits));
        return raw;
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

std::string FormatTrackSource(const std::string& name, const std::vector<TrackKey>& keys) {
    std::string out = "track " + name + "\n";
    for (const TrackKey& key : keys) {
        std::string time = FormatBeatTime(key.row);
        std::string value = FormatValue(key.value);
        const char* type = InterpolationName(key.type);
        std::string typeText = type ? type : std::to_string(key.type);
        char line[160];
        std::snprintf(line, sizeof(line), "  %-10s %-14s %s\n", time.c_str(), value.c_str(), typeText.c_str());
        out += line;
    }
    return out;
}
