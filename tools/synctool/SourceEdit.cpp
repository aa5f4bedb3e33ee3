// SourceDocument: key edits as line edits of the source text. The edits of
// one request are made in one pass, on the lines and on a model of the
// tracks kept up to date as they go; the text is then parsed once and must
// read back as the model.
#include "tools/synctool/SourceEdit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>

#include "sync/TrackFile.h"
#include "tools/songform/TextLines.h"
#include "tools/synctool/SourceLines.h"
#include "tools/synctool/TimeNotation.h"

namespace {

// How many keys away on either side a new or rewritten key line looks for
// the columns of its neighbours: further off is no neighbour, and looking
// through the whole track made each edit of a long track cost the track.
constexpr size_t kNeighbourReach = 64;

const char kUnreadable[] = "the text written for this edit does not read back as the edit; nothing was changed";

// The line end the file mostly uses: its first line's, "\n" by default.
std::string FileLineEnd(const SourceLines& lines) {
    for (int id = lines.First(); id >= 0; id = lines.Next(id))
        if (!lines[id].end.empty()) return lines[id].end == "\r" ? "\n" : lines[id].end;
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


// A key of the model: its row, value and type, and where its text is.
struct BatchKey {
    TrackKey key;
    size_t text;  // in EditBatch::texts
};

struct BatchTrack {
    std::string name;
    int line;                     // the "track" line's id + 1
    std::vector<BatchKey> keys;   // by row, as the parser requires
};

// The lines of the text and the tracks they hold as the parser would read
// them, both changed edit by edit. A key's KeyText has its line's id + 1 for
// a line number, so that the parser's own KeyTexts serve as they are.
class EditBatch {
public:
    EditBatch(const std::string& text, const std::vector<SourceTrack>& tracks, const SongForm* song);

    // Makes one edit; false with what is wrong with it (the batch is then
    // to be dropped).
    bool Apply(const KeyEdit& edit, std::string* error);
    std::string Text() const { return lines.Text(); }
    // True when the text's parse holds exactly the model's tracks.
    bool ReadsBackAs(const std::vector<SourceTrack>& parsed) const;

private:
    // Where a line goes: after line `after`, or else before line `before`.
    struct Anchor {
        int after = -1;
        int before = -1;
    };

    bool Set(BatchTrack* track, const KeyEdit& edit, std::string* error);
    bool AddTrack(const KeyEdit& edit, std::string* error);
    bool Delete(BatchTrack* track, const KeyEdit& edit, std::string* error);
    bool Move(BatchTrack* track, const KeyEdit& edit, std::string* error);

    const KeyText& TextOf(const BatchKey& key) const { return texts[key.text]; }
    const std::string& BodyOf(const KeyText& text) const { return lines[text.line - 1].body; }
    // The position of the key at row, or -1.
    int KeyAt(const BatchTrack& track, int32_t row) const;
    // The key before which a key at `row` belongs (keys.size() when last).
    size_t InsertionIndex(const BatchTrack& track, int32_t row) const;
    void NeighbourColumns(const BatchTrack& track, size_t near, bool skipNear, int columns[kParts]) const;
    // Where the line of a key at `row` goes among the track's lines; `skip`
    // is a key left out (one being moved), or -1.
    Anchor LineFor(const BatchTrack& track, int32_t row, int skip) const;
    // Puts a line in at `anchor`, ended like the line before it. Put after a
    // last line without an end, it becomes that last line.
    int InsertLine(const Anchor& anchor, const std::string& body, const std::string& lineEnd);
    // The key line's tokens as the parser reads them; false when it is no
    // key line (then the edit would not read back).
    bool ReadKeyLine(int id, KeyText* text) const;
    // The name written alone as a time for `row` first in the source (the
    // one entry NewKeyTime looks up), or nothing.
    std::map<int32_t, std::string> NameInUse(int32_t row) const;

    SourceLines lines;
    std::vector<KeyText> texts;
    std::vector<BatchTrack> tracks;
    std::unordered_map<std::string, size_t> byName;
    const SongForm* song;
    std::string lineEnd;
};

EditBatch::EditBatch(const std::string& text, const std::vector<SourceTrack>& sourceTracks, const SongForm* song)
    : lines(text), song(song) {
    tracks.reserve(sourceTracks.size());
    for (const SourceTrack& source : sourceTracks) {
        BatchTrack track{source.name, source.line, {}};
        track.keys.reserve(source.keys.size());
        for (size_t i = 0; i < source.keys.size(); ++i) {
            track.keys.push_back({source.keys[i], texts.size()});
            texts.push_back(source.texts[i]);
        }
        byName.emplace(source.name, tracks.size());
        tracks.push_back(std::move(track));
    }
}

int EditBatch::KeyAt(const BatchTrack& track, int32_t row) const {
    const size_t i = InsertionIndex(track, row);
    return i < track.keys.size() && track.keys[i].key.row == row ? int(i) : -1;
}

size_t EditBatch::InsertionIndex(const BatchTrack& track, int32_t row) const {
    const auto at = std::lower_bound(track.keys.begin(), track.keys.end(), row,
                                     [](const BatchKey& key, int32_t r) { return key.key.row < r; });
    return size_t(at - track.keys.begin());
}

// Where the key lines nearest to key `near` of the track (itself left out
// when `skipNear`) put each part; 0 where none has it.
void EditBatch::NeighbourColumns(const BatchTrack& track, size_t near, bool skipNear, int columns[kParts]) const {
    for (int part = 0; part < kParts; ++part) columns[part] = 0;
    const size_t reach = std::min(track.keys.size(), kNeighbourReach);
    for (size_t distance = skipNear ? 1 : 0; distance <= reach; ++distance) {
        for (size_t index : {near - distance, near + distance}) {
            if (index >= track.keys.size()) continue;
            const KeyText& other = TextOf(track.keys[index]);
            const KeyLineParts parts = PartsOf(BodyOf(other), other);
            for (int part = kValue; part < kParts; ++part)
                if (columns[part] == 0 && !parts.texts[part].empty()) columns[part] = parts.columns[part];
        }
        if (columns[kValue] && columns[kInterpolation] && columns[kComment]) return;
    }
}

EditBatch::Anchor EditBatch::LineFor(const BatchTrack& track, int32_t row, int skip) const {
    const size_t at = InsertionIndex(track, row);
    int before = int(at) - 1;
    if (before == skip) --before;
    size_t after = at < track.keys.size() && track.keys[at].key.row == row ? at + 1 : at;
    if (int(after) == skip) ++after;
    Anchor anchor;
    if (before >= 0)
        anchor.after = TextOf(track.keys[size_t(before)]).line - 1;  // just after that key's line
    else if (after < track.keys.size())
        anchor.before = TextOf(track.keys[after]).line - 1;  // just before that key's line
    else
        anchor.after = track.line - 1;  // just after the track line
    return anchor;
}

int EditBatch::InsertLine(const Anchor& anchor, const std::string& body, const std::string& ending) {
    const int previous = anchor.after >= 0 ? anchor.after : lines.Previous(anchor.before);
    std::string end = previous >= 0 && Ended(lines[previous]) ? lines[previous].end : ending;
    if (previous >= 0 && previous == lines.Last() && !Ended(lines[previous])) {
        lines[previous].end = ending;
        end.clear();
    }
    return lines.InsertAfter(previous, {body, end});
}

bool EditBatch::ReadKeyLine(int id, KeyText* text) const {
    const std::vector<Token> tokens = SplitTokens(StripComment(lines[id].body));
    if (tokens.size() < 2 || tokens.size() > 3 || tokens[0].text == "track") return false;
    *text = {id + 1, tokens[0], tokens[1], tokens.size() == 3 ? tokens[2] : Token{"", 0}};
    return true;
}

std::map<int32_t, std::string> EditBatch::NameInUse(int32_t row) const {
    // A track holds one key a row at most: the first track with a named key
    // at that row has the source's first use of a name for it.
    for (const BatchTrack& track : tracks) {
        const int at = KeyAt(track, row);
        if (at < 0) continue;
        const std::string& time = TextOf(track.keys[size_t(at)]).time.text;
        if (IsNamedTime(time) && time.find_first_of("+-") == std::string::npos) return {{row, time}};
    }
    return {};
}

bool EditBatch::Apply(const KeyEdit& edit, std::string* error) {
    lineEnd = FileLineEnd(lines);
    const auto found = byName.find(edit.track);
    BatchTrack* track = found == byName.end() ? nullptr : &tracks[found->second];
    switch (edit.kind) {
        case KeyEditKind::Set: return track ? Set(track, edit, error) : AddTrack(edit, error);
        case KeyEditKind::Delete: return Delete(track, edit, error);
        case KeyEditKind::Move: return Move(track, edit, error);
    }
    return false;
}

bool EditBatch::AddTrack(const KeyEdit& edit, std::string* error) {
    if (edit.keepValue) {
        *error = "track '" + edit.track + "' has no keys, so no value to keep";
        return false;
    }
    const std::string problem = WritableTrackNameProblem(edit.track);
    if (!problem.empty()) {
        *error = problem;
        return false;
    }
    const int32_t type = edit.keepType ? Step : edit.type;
    // A new block after a blank line, as `synctool dump` writes tracks.
    const int last = lines.Last();
    if (last >= 0 && !Ended(lines[last])) lines[last].end = lineEnd;
    if (last >= 0 && lines[last].body.find_first_not_of(" \t") != std::string::npos) lines.Append({"", lineEnd});
    const int trackLine = lines.Append({"track " + edit.track, lineEnd});
    const int keyLine =
        lines.Append({NewKeyLine(FormatBeatTime(edit.row), FormatValue(edit.value), type, nullptr, nullptr, nullptr),
                      lineEnd});
    KeyText text;
    if (!ReadKeyLine(keyLine, &text)) {
        *error = kUnreadable;
        return false;
    }
    BatchTrack added{edit.track, trackLine + 1, {{{edit.row, edit.value, type}, texts.size()}}};
    texts.push_back(text);
    byName.emplace(edit.track, tracks.size());
    tracks.push_back(std::move(added));
    return true;
}

bool EditBatch::Set(BatchTrack* track, const KeyEdit& edit, std::string* error) {
    const int at = KeyAt(*track, edit.row);
    if (at >= 0) {
        BatchKey& key = track->keys[size_t(at)];
        const KeyText written = TextOf(key);
        const TrackKey old = key.key;
        const float value = edit.keepValue ? old.value : edit.value;
        const int32_t type = edit.keepType ? old.type : edit.type;
        int columns[kParts];
        NeighbourColumns(*track, size_t(at), true, columns);
        // An unchanged value keeps its notation ("0.0" stays "0.0").
        const std::string valueText = SameBits(value, old.value) ? written.value.text : FormatValue(value);
        const std::string typeText = type == old.type ? written.interpolation.text : TypeText(type);
        const std::string* replaced[kParts] = {nullptr, &valueText, &typeText, nullptr};
        const int id = written.line - 1;
        lines[id].body = RewriteKeyLine(lines[id].body, written, replaced, columns);
        if (!ReadKeyLine(id, &texts[key.text])) {
            *error = kUnreadable;
            return false;
        }
        key.key.value = value;
        key.key.type = type;
        return true;
    }
    if (edit.keepValue) {
        *error = "track '" + edit.track + "' has no key at row " + std::to_string(edit.row) + ", so no value to keep";
        return false;
    }
    if (track->keys.size() >= kMaxEditedTrackKeys) {
        *error = "track '" + edit.track + "' already holds " + std::to_string(kMaxEditedTrackKeys) +
                 " keys, the most a track may have";
        return false;
    }
    const int32_t type = edit.keepType ? Step : edit.type;
    const size_t keyIndex = InsertionIndex(*track, edit.row);
    const size_t near = keyIndex > 0 ? keyIndex - 1 : 0;
    const KeyText* like = track->keys.empty() ? nullptr : &TextOf(track->keys[near]);
    const bool named = like && IsNamedTime(like->time.text);
    const std::string time = NewKeyTime(edit.row, named, song, named ? NameInUse(edit.row) : std::map<int32_t, std::string>());
    int columns[kParts];
    NeighbourColumns(*track, near, false, columns);
    const std::string body = NewKeyLine(time, FormatValue(edit.value), type, like ? &BodyOf(*like) : nullptr, like, columns);
    const int id = InsertLine(LineFor(*track, edit.row, -1), body, lineEnd);
    KeyText text;
    if (!ReadKeyLine(id, &text)) {
        *error = kUnreadable;
        return false;
    }
    track->keys.insert(track->keys.begin() + long(keyIndex), BatchKey{{edit.row, edit.value, type}, texts.size()});
    texts.push_back(text);
    return true;
}

bool EditBatch::Delete(BatchTrack* track, const KeyEdit& edit, std::string* error) {
    const int at = track ? KeyAt(*track, edit.row) : -1;
    if (at < 0) {
        *error = track ? "track '" + edit.track + "' has no key at row " + std::to_string(edit.row)
                       : "track '" + edit.track + "' has no keys";
        return false;
    }
    const KeyText& written = TextOf(track->keys[size_t(at)]);
    const int id = written.line - 1;
    const size_t comment = lines[id].body.find('#');
    if (comment != std::string::npos) {
        // The key goes; a comment written on its line stays, at the key's indent.
        lines[id].body = lines[id].body.substr(0, size_t(written.time.column - 1)) + lines[id].body.substr(comment);
    } else {
        lines.Erase(id);
    }
    track->keys.erase(track->keys.begin() + at);
    return true;
}

bool EditBatch::Move(BatchTrack* track, const KeyEdit& edit, std::string* error) {
    const int at = track ? KeyAt(*track, edit.row) : -1;
    if (at < 0) {
        *error = track ? "track '" + edit.track + "' has no key at row " + std::to_string(edit.row)
                       : "track '" + edit.track + "' has no keys";
        return false;
    }
    if (edit.to == edit.row) return true;
    if (KeyAt(*track, edit.to) >= 0) {
        *error = "track '" + edit.track + "' already has a key at row " + std::to_string(edit.to);
        return false;
    }
    BatchKey moved = track->keys[size_t(at)];
    const KeyText written = TextOf(moved);
    int columns[kParts];
    NeighbourColumns(*track, size_t(at), true, columns);
    const std::string time = RewriteTime(written.time.text, edit.to, song);
    const std::string* replaced[kParts] = {&time, nullptr, nullptr, nullptr};
    const int id = written.line - 1;
    const std::string body = RewriteKeyLine(lines[id].body, written, replaced, columns);
    const Anchor anchor = LineFor(*track, edit.to, at);
    moved.key.row = edit.to;
    track->keys.erase(track->keys.begin() + at);
    const size_t keyIndex = InsertionIndex(*track, edit.to);
    track->keys.insert(track->keys.begin() + long(keyIndex), moved);
    int line = id;
    if (keyIndex == size_t(at)) {
        // Still between the same neighbours: only the time changes.
        lines[id].body = body;
    } else {
        // The line (and a comment on it) goes to its new place among the keys.
        // A last line moving up leaves the line now last the file's missing end.
        const int previous = lines.Previous(id);
        if (!Ended(lines[id]) && previous >= 0) lines[previous].end = lines[id].end;
        lines.Erase(id);
        line = InsertLine(anchor, body, lineEnd);
    }
    if (!ReadKeyLine(line, &texts[moved.text])) {
        *error = kUnreadable;
        return false;
    }
    return true;
}

bool EditBatch::ReadsBackAs(const std::vector<SourceTrack>& parsed) const {
    if (parsed.size() != tracks.size()) return false;
    for (size_t i = 0; i < parsed.size(); ++i) {
        const std::vector<TrackKey>& got = parsed[i].keys;
        const std::vector<BatchKey>& want = tracks[i].keys;
        if (parsed[i].name != tracks[i].name || got.size() != want.size()) return false;
        for (size_t k = 0; k < got.size(); ++k)
            if (got[k].row != want[k].key.row || got[k].type != want[k].key.type || !SameBits(got[k].value, want[k].key.value))
                return false;
    }
    return true;
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
    if (edits.empty()) return true;
    std::string newText;
    std::vector<SourceTrack> parsed;
    std::string problem;
    const Outcome outcome = Attempt(edits, edits.size(), &newText, &parsed, &problem);
    if (outcome == Outcome::Refused) {
        *error = problem;
        return false;
    }
    if (outcome == Outcome::Unreadable) {
        // Which op made the text unreadable: the shortest failing run of ops
        // from the first, found by halving (a few passes, not one per op).
        size_t good = 0, bad = edits.size();
        while (bad - good > 1) {
            const size_t middle = good + (bad - good) / 2;
            std::string middleProblem;
            if (Attempt(edits, middle, &newText, &parsed, &middleProblem) == Outcome::Taken) {
                good = middle;
            } else {
                bad = middle;
                problem = middleProblem;
            }
        }
        *error = "op " + std::to_string(bad - 1) + ": " + problem;
        return false;
    }
    text = std::move(newText);
    tracks = std::move(parsed);
    return true;
}

SourceDocument::Outcome SourceDocument::Attempt(const std::vector<KeyEdit>& edits, size_t count, std::string* newText,
                                                std::vector<SourceTrack>* parsed, std::string* error) const {
    EditBatch batch(text, tracks, Song());
    for (size_t i = 0; i < count; ++i) {
        std::string problem;
        if (!batch.Apply(edits[i], &problem)) {
            *error = "op " + std::to_string(i) + ": " + problem;
            return Outcome::Refused;
        }
    }
    *newText = batch.Text();
    parsed->clear();
    std::vector<std::string> errors;
    if (!ParseTrackSource(*newText, sourceName, Song(), parsed, &errors)) {
        *error = "the source would not compile: " + (errors.empty() ? std::string("?") : errors.front());
        return Outcome::Unreadable;
    }
    if (!batch.ReadsBackAs(*parsed)) {
        *error = kUnreadable;
        return Outcome::Unreadable;
    }
    return Outcome::Taken;
}
