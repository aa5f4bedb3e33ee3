// SongForm parsing: strict, so that a typo in the production file is reported
// (every broken line, with its line and column) rather than silently changing
// the arrangement or the show's timing.
#include "tools/songform/SongForm.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

#include "platform/FileRead.h"
#include "tools/songform/TextLines.h"

int32_t BeatToRow(double beat) { return int32_t(std::lround(beat * kSongRowsPerBeat)); }

double SongForm::EndBeat() const { return sections.empty() ? 0.0 : sections.back().end; }

const SongSection* SongForm::SectionAt(double beat) const {
    for (const SongSection& s : sections)
        if (beat >= s.start && beat < s.end) return &s;
    return nullptr;
}

const SongSection* SongForm::FindSection(const std::string& name) const {
    for (const SongSection& s : sections)
        if (s.name == name) return &s;
    return nullptr;
}

double SongForm::CueBeat(const std::string& name, double fallback) const {
    for (const SongCue& c : cues)
        if (c.name == name) return c.beat;
    return fallback;
}

bool SongForm::FindRow(const std::string& name, int32_t* row) const {
    // The parser made a name shared by a section and cues mean one beat.
    if (const SongSection* s = FindSection(name)) {
        *row = s->StartRow();
        return true;
    }
    for (const SongCue& c : cues)
        if (c.name == name) {
            *row = c.Row();
            return true;
        }
    return false;
}

namespace {

bool IsName(const std::string& text) {
    if (text.empty() || !(std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_')) return false;
    for (char c : text)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return false;
    return true;
}

bool FitsRow(double rows) { return rows >= double(INT32_MIN) && rows <= double(INT32_MAX); }

// A beat as "12", "12.5" or "12:8"; false unless its row fits 32 bits.
bool ParseBeat(const std::string& text, double* beat) {
    int64_t row;
    if (ParseBeatTime(text, &row)) {
        if (!FitsRow(double(row))) return false;
        *beat = double(row) / kSongRowsPerBeat;
        return true;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value)) return false;
    if (!FitsRow(std::round(value * kSongRowsPerBeat))) return false;
    *beat = value;
    return true;
}

// "16" or "4:8" for beats on the row grid, else the plain number.
std::string FormatBeat(double beat) {
    const double rows = beat * kSongRowsPerBeat;
    if (rows == std::floor(rows) && FitsRow(rows)) return FormatBeatTime(int64_t(rows));
    char text[32];
    std::snprintf(text, sizeof text, "%g", beat);
    return text;
}

struct NamedBeat {
    double beat;
    int line;
};

}  // namespace

bool ParseSongForm(const std::string& text, const std::string& fileName, SongForm& form,
                   std::vector<std::string>& errors) {
    form = SongForm();
    std::vector<std::pair<int, std::string>> found;  // (line, diagnostic); line 0 is the whole file
    std::map<std::string, NamedBeat> named;          // first beat each name was given
    std::vector<std::pair<int, Token>> cueBeats;     // line and beat token of each kept cue
    bool anySection = false;
    // Where the next section must start; unknown after a section line that did not parse.
    bool chainKnown = true;
    double nextStart = 0;

    const std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const int lineNumber = int(i) + 1;
        const std::vector<Token> tokens = SplitTokens(StripComment(lines[i]));
        if (tokens.empty()) continue;
        auto fail = [&](const Token& at, const std::string& message) {
            found.push_back({lineNumber, Diagnostic(fileName, lineNumber, at.column, message)});
        };
        const std::string& kind = tokens[0].text;
        const bool isSection = kind == "section";
        const size_t wanted = isSection ? 4 : kind == "cue" ? 3 : 0;
        if (wanted == 0) {
            fail(tokens[0], "expected 'section' or 'cue', found '" + kind + "'");
            continue;
        }
        const bool chainBefore = chainKnown;
        if (isSection) {
            anySection = true;
            chainKnown = false;  // until this line turns out whole
        }
        if (tokens.size() != wanted) {
            // Too many: point at the first extra word; too few: just past the line.
            Token at = tokens.size() > wanted ? tokens[wanted]
                                              : Token{"", tokens.back().column + int(tokens.back().text.size())};
            fail(at, isSection ? "expected: section START_BEAT END_BEAT NAME" : "expected: cue BEAT NAME");
            continue;
        }
        const Token& nameToken = tokens.back();
        if (!IsName(nameToken.text)) {
            fail(nameToken, "'" + nameToken.text + "' is not a name (letters, digits, '_' and '.')");
            continue;
        }
        double start = 0, end = 0;
        if (!ParseBeat(tokens[1].text, &start)) {
            fail(tokens[1], "'" + tokens[1].text + "' is not a beat");
            continue;
        }
        if (isSection) {
            if (!ParseBeat(tokens[2].text, &end)) {
                fail(tokens[2], "'" + tokens[2].text + "' is not a beat");
                continue;
            }
            if (end <= start) {
                fail(tokens[2], "section ends before it starts");
                continue;
            }
            // A whole line: the next section must follow this one, even if this one is misplaced.
            const double expected = nextStart;
            chainKnown = true;
            nextStart = end;
            if (chainBefore && start != expected) {
                fail(tokens[1], "section starts at " + FormatBeat(start) + ", expected " + FormatBeat(expected));
                continue;
            }
        } else if (start < 0) {
            fail(tokens[1], "cue before beat 0");
            continue;
        }
        auto known = named.find(nameToken.text);
        if (known != named.end() && known->second.beat != start) {
            fail(nameToken, "'" + nameToken.text + "' already names beat " + FormatBeat(known->second.beat) +
                                " (line " + std::to_string(known->second.line) + ")");
            continue;
        }
        if (known == named.end()) named[nameToken.text] = {start, lineNumber};
        if (isSection) {
            form.sections.push_back({nameToken.text, start, end});
        } else {
            form.cues.push_back({nameToken.text, start});
            cueBeats.push_back({lineNumber, tokens[1]});
        }
    }

    if (!anySection) {
        found.push_back({0, fileName + ": no sections"});
    } else if (chainKnown) {
        // The song's end is known only when the last section line was whole.
        for (size_t i = 0; i < form.cues.size(); ++i) {
            if (form.cues[i].beat <= nextStart) continue;
            const int line = cueBeats[i].first;
            found.push_back({line, Diagnostic(fileName, line, cueBeats[i].second.column,
                                              "cue '" + form.cues[i].name + "' lies after the end of the song")});
        }
    }
    // In line order, faults of the whole file last.
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return (a.first == 0 ? INT_MAX : a.first) < (b.first == 0 ? INT_MAX : b.first);
    });
    for (auto& f : found) errors.push_back(std::move(f.second));
    return found.empty();
}

bool LoadSongForm(const std::string& path, SongForm& form, std::vector<std::string>& errors) {
    // Read the guarded way: a folder, a FIFO or a device in the file's place
    // is named, never waited for or read.
    std::string text;
    const char* fault = nullptr;
    switch (platform::ReadRegularFile(path.c_str(), kMaxSongFormBytes, &text)) {
        case platform::FileReadResult::Read: return ParseSongForm(text, path, form, errors);
        case platform::FileReadResult::NotRegular: fault = ": the sections file is not a regular file"; break;
        case platform::FileReadResult::TooLarge: fault = ": the sections file is larger than 1 MiB"; break;
        default: fault = ": cannot read the sections file"; break;
    }
    form = SongForm();
    errors.push_back(path + fault);
    return false;
}
