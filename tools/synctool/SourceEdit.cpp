// SourceDocument: key edits as line edits of the source text, checked by
// parsing the result.
#include "tools/synctool/SourceEdit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "sync/TrackFile.h"
#include "tools/synctool/TimeNotation.h"

namespace {

// One line of the text: its body and the line end that followed it ("\n",
// "\r\n", or "" for a last line without one). Line N of the parser is
// lines[N - 1], and its columns index the body.
struct Line {
    std::string body;
    std::string end;
};

std::vector<Line> SplitKeepingEnds(const std::string& text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        Line line;
        if (newline == std::string::npos) {
            line.body = text.substr(start);
            start = text.size();
        } else {
            line.body = text.substr(start, newline - start);
            line.end = "\n";
            start = newline + 1;
        }
        // The parser drops a "\r" before the line end; so does the body.
        if (!line.body.empty() && line.body.back() == '\r') {
            line.body.pop_back();
            line.end = "\r" + line.end;
        }
        lines.push_back(line);
    }
    return lines;
}

// Whether the line has a line end: a "\r" alone, as the last byte of a file,
// is not one (the parser drops it like the one before a line end).
bool Ended(const Line& line) { return !line.end.empty() && line.end.back() == '\n'; }

std::string Join(const std::vector<Line>& lines) {
    std::string text;
    for (const Line& line : lines) text += line.body + line.end;
    return text;
}

// The line end the file mostly uses: its first line's, "\n" by default.
std::string FileLineEnd(const std::vector<Line>& lines) {
    for (const Line& line : lines)
        if (!line.end.empty()) return line.end == "\r" ? "\n" : line.end;
    return "\n";
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Spaces that bring `text` to column `column` (1-based); one at least.
void PadTo(std::string& text, int column) {
    const size_t want = column > 1 ? size_t(column - 1) : 0;
    text.append(text.size() < want ? want - text.size() : 1, ' ');
}

// The parts of a key line: time, value, interpolation, comment (the last two
// may be absent, then empty), each with its 1-based column.
enum Part { kTime, kValue, kInterpolation, kComment, kParts };

struct KeyLineParts {
    std::string texts[kParts];
    int columns[kParts] = {};
};

KeyLineParts PartsOf(const std::string& body, const KeyText& written) {
    KeyLineParts parts;
    const Token* tokens[] = {&written.time, &written.value, &written.interpolation};
    for (int i = 0; i < kComment; ++i) {
        parts.texts[i] = tokens[i]->text;
        parts.columns[i] = tokens[i]->column;
    }
    const size_t comment = body.find('#');
    if (comment != std::string::npos) {
        parts.texts[kComment] = body.substr(comment);
        parts.columns[kComment] = int(comment) + 1;
    }
    return parts;
}

// Where the key lines nearest to key `near` of the track (itself left out
// when `skipNear`) put each part; 0 where none has it.
void NeighbourColumns(const SourceTrack& track, const std::vector<Line>& lines, size_t near, bool skipNear,
                      int columns[kParts]) {
    for (int part = 0; part < kParts; ++part) columns[part] = 0;
    for (size_t distance = skipNear ? 1 : 0; distance <= track.texts.size(); ++distance) {
        for (size_t index : {near - distance, near + distance}) {
            if (index >= track.texts.size()) continue;
            const KeyText& other = track.texts[index];
            const KeyLineParts parts = PartsOf(lines[size_t(other.line - 1)].body, other);
            for (int part = kValue; part < kParts; ++part)
                if (columns[part] == 0 && !parts.texts[part].empty()) columns[part] = parts.columns[part];
        }
    }
}

// A key line with some parts replaced (the others as in `body`). What comes
// before the first changed part keeps its bytes; each part after it goes to
// the column its neighbours use (else its own), one space after the part
// before it at least. Blanks holding a tab are kept as written.
std::string RewriteKeyLine(const std::string& body, const KeyText& written, const std::string* replaced[kParts],
                           const int neighbourColumns[kParts]) {
    const KeyLineParts old = PartsOf(body, written);
    int firstChanged = kParts;
    for (int part = kParts - 1; part >= 0; --part)
        if (replaced[part] && *replaced[part] != old.texts[part]) firstChanged = part;
    if (firstChanged == kParts) return body;
    std::string line = body.substr(0, size_t(old.columns[kTime] - 1));
    size_t lastEnd = size_t(old.columns[kTime] - 1);  // where the previous part ended in body
    for (int part = kTime; part < kParts; ++part) {
        const std::string& text = replaced[part] ? *replaced[part] : old.texts[part];
        if (text.empty()) continue;
        const bool hadIt = !old.texts[part].empty();
        const std::string gap = hadIt ? body.substr(lastEnd, size_t(old.columns[part] - 1) - lastEnd) : "";
        if (part > kTime) {
            if (hadIt && (part <= firstChanged || gap.find('\t') != std::string::npos))
                line += gap;
            else
                PadTo(line, neighbourColumns[part] ? neighbourColumns[part] : hadIt ? old.columns[part] : 0);
        }
        line += text;
        if (hadIt) lastEnd = size_t(old.columns[part] - 1) + old.texts[part].size();
    }
    // Blanks after the last part stay (there is nothing after a comment).
    if (old.texts[kComment].empty()) line += body.substr(lastEnd);
    return line;
}

std::string TypeText(int32_t type) {
    const char* name = InterpolationName(type);
    return name ? name : std::to_string(type);
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The position of the key at row, or -1.
int KeyAt(const SourceTrack& track, int32_t row) {
    for (size_t i = 0; i < track.keys.size(); ++i)
        if (track.keys[i].row == row) return int(i);
    return -1;
}

// The key before which a key at `row` belongs (keys.size() when last).
size_t InsertionIndex(const std::vector<TrackKey>& keys, int32_t row) {
    size_t i = 0;
    while (i < keys.size() && keys[i].row < row) ++i;
    return i;
}

// Names written alone as times anywhere in the source, by the row they stand for.
std::map<int32_t, std::string> NamesInUse(const std::vector<SourceTrack>& tracks) {
    std::map<int32_t, std::string> names;
    for (const SourceTrack& track : tracks)
        for (size_t i = 0; i < track.keys.size(); ++i) {
            const std::string& time = track.texts[i].time.text;
            if (IsNamedTime(time) && time.find_first_of("+-") == std::string::npos)
                names.emplace(track.keys[i].row, time);
        }
    return names;
}

// Where the line of a key at `row` goes among the track's lines, as the
// index of the line it is inserted before. `skip` is a key left out (a key
// being moved), or -1.
size_t LineIndexFor(const SourceTrack& track, int32_t row, int skip) {
    int before = -1, after = -1;
    for (size_t i = 0; i < track.keys.size(); ++i) {
        if (int(i) == skip) continue;
        if (track.keys[i].row < row) before = int(i);
        if (track.keys[i].row > row && after < 0) after = int(i);
    }
    if (before >= 0) return size_t(track.texts[size_t(before)].line);   // just after that key's line
    if (after >= 0) return size_t(track.texts[size_t(after)].line - 1); // just before that key's line
    return size_t(track.line);                                           // just after the track line
}

// The line for a new key: indented like the key whose text is `like`, its
// parts in the neighbours' columns; as `synctool dump` writes one when the
// track has no key to go by.
std::string NewKeyLine(const std::string& time, const std::string& value, int32_t type, const std::string* likeBody,
                       const KeyText* like, const int columns[kParts]) {
    if (!like) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-10s %-14s %s", time.c_str(), value.c_str(), TypeText(type).c_str());
        return line;
    }
    std::string line = likeBody->substr(0, size_t(like->time.column - 1)) + time;
    PadTo(line, columns[kValue]);
    line += value;
    if (type != Step || !like->interpolation.text.empty()) {
        PadTo(line, columns[kInterpolation]);
        line += TypeText(type);
    }
    return line;
}

}  // namespace

std::string WritableTrackNameProblem(const std::string& name) {
    std::string problem = TrackNameProblem(name);
    if (!problem.empty()) return problem;
    if (name.find_first_of("#\r\n") != std::string::npos) return "a track name written in the source cannot hold '#' or a line break";
    if (IsBlank(name.front()) || IsBlank(name.back()) || name.front() == '\v' || name.front() == '\f')
        return "a track name written in the source cannot start or end with a blank";
    return "";
}

bool SameKeys(const std::vector<TrackKey>& a, const std::vector<TrackKey>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].row != b[i].row || a[i].type != b[i].type || !SameBits(a[i].value, b[i].value)) return false;
    return true;
}

std::vector<std::string> ChangedTrackNames(const std::vector<SourceTrack>& before,
                                           const std::vector<SourceTrack>& after) {
    std::map<std::string, const SourceTrack*> old;
    for (const SourceTrack& track : before) old[track.name] = &track;
    std::vector<std::string> changed;
    for (const SourceTrack& track : after) {
        auto found = old.find(track.name);
        if (found == old.end() || !SameKeys(found->second->keys, track.keys)) changed.push_back(track.name);
        if (found != old.end()) old.erase(found);
    }
    for (const SourceTrack& track : before)
        if (old.count(track.name)) changed.push_back(track.name);
    return changed;
}

bool SourceDocument::Load(const std::string& newText, const std::string& newSourceName, const SongForm* newSong,
                          std::vector<std::string>* errors) {
    std::vector<SourceTrack> parsed;
    if (!ParseTrackSource(newText, newSourceName, newSong, &parsed, errors)) return false;
    text = newText;
    sourceName = newSourceName;
    hasSong = newSong != nullptr;
    song = newSong ? *newSong : SongForm();
    tracks = std::move(parsed);
    return true;
}

const SourceTrack* SourceDocument::Find(const std::string& name) const {
    for (const SourceTrack& track : tracks)
        if (track.name == name) return &track;
    return nullptr;
}

bool SourceDocument::Apply(const std::vector<KeyEdit>& edits, std::string* error) {
    const std::string oldText = text;
    const std::vector<SourceTrack> oldTracks = tracks;
    for (size_t i = 0; i < edits.size(); ++i) {
        std::string problem;
        if (!ApplyOne(edits[i], &problem)) {
            text = oldText;
            tracks = oldTracks;
            *error = "op " + std::to_string(i) + ": " + problem;
            return false;
        }
    }
    return true;
}

bool SourceDocument::ApplyOne(const KeyEdit& edit, std::string* error) {
    std::vector<Line> lines = SplitKeepingEnds(text);
    const std::string lineEnd = FileLineEnd(lines);
    const SourceTrack* track = Find(edit.track);
    const size_t trackIndex = track ? size_t(track - tracks.data()) : tracks.size();
    const int at = track ? KeyAt(*track, edit.row) : -1;
    // The edited track's keys once the new text is parsed; every other track
    // must read back as it is.
    std::vector<TrackKey> expected = track ? track->keys : std::vector<TrackKey>();

    // Puts a line in before lines[index], ended like the line before it. Put
    // after a last line without an end, it becomes that last line.
    auto insertLine = [&](size_t index, const std::string& body) {
        std::string end = index > 0 && Ended(lines[index - 1]) ? lines[index - 1].end : lineEnd;
        if (index == lines.size() && !lines.empty() && !Ended(lines.back())) {
            lines.back().end = lineEnd;
            end.clear();
        }
        lines.insert(lines.begin() + long(index), Line{body, end});
    };

    switch (edit.kind) {
        case KeyEditKind::Set: {
            const std::string value = FormatValue(edit.value);
            if (!track) {
                const std::string problem = WritableTrackNameProblem(edit.track);
                if (!problem.empty()) {
                    *error = problem;
                    return false;
                }
                const int32_t type = edit.keepType ? Step : edit.type;
                // A new block after a blank line, as `synctool dump` writes tracks.
                if (!lines.empty() && !Ended(lines.back())) lines.back().end = lineEnd;
                if (!lines.empty() && lines.back().body.find_first_not_of(" \t") != std::string::npos)
                    lines.push_back(Line{"", lineEnd});
                lines.push_back(Line{"track " + edit.track, lineEnd});
                lines.push_back(Line{NewKeyLine(FormatBeatTime(edit.row), value, type, nullptr, nullptr, nullptr), lineEnd});
                expected = {{edit.row, edit.value, type}};
                break;
            }
            std::vector<TrackKey>& keys = expected;
            if (at >= 0) {
                const KeyText& written = track->texts[size_t(at)];
                const TrackKey& old = track->keys[size_t(at)];
                const int32_t type = edit.keepType ? old.type : edit.type;
                Line& line = lines[size_t(written.line - 1)];
                int columns[kParts];
                NeighbourColumns(*track, lines, size_t(at), true, columns);
                // An unchanged value keeps its notation ("0.0" stays "0.0").
                const std::string valueText = SameBits(edit.value, old.value) ? written.value.text : value;
                const std::string typeText = type == old.type ? written.interpolation.text : TypeText(type);
                const std::string* replaced[kParts] = {nullptr, &valueText, &typeText, nullptr};
                line.body = RewriteKeyLine(line.body, written, replaced, columns);
                keys[size_t(at)].value = edit.value;
                keys[size_t(at)].type = type;
                break;
            }
            if (track->keys.size() >= kMaxEditedTrackKeys) {
                *error = "track '" + edit.track + "' already holds " + std::to_string(kMaxEditedTrackKeys) +
                         " keys, the most a track may have";
                return false;
            }
            const int32_t type = edit.keepType ? Step : edit.type;
            const size_t keyIndex = InsertionIndex(track->keys, edit.row);
            const size_t near = keyIndex > 0 ? keyIndex - 1 : 0;
            const KeyText* like = track->texts.empty() ? nullptr : &track->texts[near];
            const std::string time = NewKeyTime(edit.row, like && IsNamedTime(like->time.text), Song(), NamesInUse(tracks));
            int columns[kParts];
            NeighbourColumns(*track, lines, near, false, columns);
            const std::string body = NewKeyLine(time, value, type, like ? &lines[size_t(like->line - 1)].body : nullptr,
                                                like, columns);
            insertLine(LineIndexFor(*track, edit.row, -1), body);
            keys.insert(keys.begin() + long(keyIndex), TrackKey{edit.row, edit.value, type});
            break;
        }
        case KeyEditKind::Delete: {
            if (at < 0) {
                *error = track ? "track '" + edit.track + "' has no key at row " + std::to_string(edit.row)
                               : "track '" + edit.track + "' has no keys";
                return false;
            }
            Line& line = lines[size_t(track->texts[size_t(at)].line - 1)];
            const size_t comment = line.body.find('#');
            if (comment != std::string::npos) {
                // The key goes; a comment written on its line stays, at the key's indent.
                line.body = line.body.substr(0, size_t(track->texts[size_t(at)].time.column - 1)) + line.body.substr(comment);
            } else {
                lines.erase(lines.begin() + (track->texts[size_t(at)].line - 1));
            }
            expected.erase(expected.begin() + at);
            break;
        }
        case KeyEditKind::Move: {
            if (at < 0) {
                *error = track ? "track '" + edit.track + "' has no key at row " + std::to_string(edit.row)
                               : "track '" + edit.track + "' has no keys";
                return false;
            }
            if (edit.to == edit.row) break;
            if (KeyAt(*track, edit.to) >= 0) {
                *error = "track '" + edit.track + "' already has a key at row " + std::to_string(edit.to);
                return false;
            }
            const KeyText& written = track->texts[size_t(at)];
            int columns[kParts];
            NeighbourColumns(*track, lines, size_t(at), true, columns);
            const std::string time = RewriteTime(written.time.text, edit.to, Song());
            const std::string* replaced[kParts] = {&time, nullptr, nullptr, nullptr};
            const std::string body = RewriteKeyLine(lines[size_t(written.line - 1)].body, written, replaced, columns);
            std::vector<TrackKey>& keys = expected;
            TrackKey moved = keys[size_t(at)];
            moved.row = edit.to;
            keys.erase(keys.begin() + at);
            const size_t keyIndex = InsertionIndex(keys, edit.to);
            keys.insert(keys.begin() + long(keyIndex), moved);
            if (keyIndex == size_t(at)) {
                // Still between the same neighbours: only the time changes.
                lines[size_t(written.line - 1)].body = body;
                break;
            }
            // The line (and a comment on it) goes to its new place among the keys.
            size_t lineIndex = LineIndexFor(*track, edit.to, at);
            if (!Ended(lines[size_t(written.line - 1)]) && written.line > 1) {
                // The last line moves up: the line now last keeps the file's missing end.
                lines[size_t(written.line - 2)].end = lines[size_t(written.line - 1)].end;
            }
            lines.erase(lines.begin() + (written.line - 1));
            if (lineIndex > size_t(written.line - 1)) --lineIndex;
            insertLine(lineIndex, body);
            break;
        }
    }

    std::string newText = Join(lines);
    std::vector<SourceTrack> parsed;
    std::vector<std::string> errors;
    if (!ParseTrackSource(newText, sourceName, Song(), &parsed, &errors)) {
        *error = "the source would not compile: " + (errors.empty() ? std::string("?") : errors.front());
        return false;
    }
    bool same = parsed.size() == tracks.size() + (track ? 0 : 1);
    for (size_t i = 0; same && i < parsed.size(); ++i) {
        const std::string& name = i < tracks.size() ? tracks[i].name : edit.track;
        same = parsed[i].name == name && SameKeys(parsed[i].keys, i == trackIndex ? expected : tracks[i].keys);
    }
    if (!same) {
        *error = "the text written for this edit does not read back as the edit; nothing was changed";
        return false;
    }
    text = std::move(newText);
    tracks = std::move(parsed);
    return true;
}
