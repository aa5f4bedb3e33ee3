// Parser for the song form file (sections and cues).
#include "tools/synctool/SongForm.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "sync/TrackFile.h"
#include "tools/synctool/TextLines.h"

namespace {

bool IsName(const std::string& text) {
    if (text.empty() || !(std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_')) return false;
    for (char c : text)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return false;
    return true;
}

// A beat as "12", "12.5" or "12:8", turned into a whole row.
bool ParseBeat(const std::string& text, int32_t* row) {
    int64_t whole;
    if (ParseBeatTime(text, &whole)) {
        if (whole < INT32_MIN || whole > INT32_MAX) return false;
        *row = int32_t(whole);
        return true;
    }
    char* end = nullptr;
    double beats = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(beats)) return false;
    double rows = std::round(beats * 16.0);
    if (rows < double(INT32_MIN) || rows > double(INT32_MAX)) return false;
    *row = int32_t(rows);
    return true;
}

}  // namespace

bool ParseSongForm(const std::string& text, const std::string& fileName, SongForm* form,
                   std::vector<std::string>* errors) {
    size_t errorsBefore = errors->size();
    std::map<std::string, int> lineOfName;
    std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        int lineNumber = int(i) + 1;
        std::vector<Token> tokens = SplitTokens(StripComment(lines[i]));
        if (tokens.empty()) continue;
        auto fail = [&](const Token& at, const std::string& message) {
            errors->push_back(Diagnostic(fileName, lineNumber, at.column, message));
        };
        const std::string& kind = tokens[0].text;
        size_t wanted = kind == "section" ? 4 : kind == "cue" ? 3 : 0;
        if (wanted == 0) {
            fail(tokens[0], "expected 'section' or 'cue', found '" + kind + "'");
            continue;
        }
        if (tokens.size() != wanted) {
            // Too many: point at the first extra word; too few: just past the line.
            Token at = tokens.size() > wanted ? tokens[wanted]
                                              : Token{"", tokens.back().column + int(tokens.back().text.size())};
            fail(at, kind == "section" ? "expected: section START_BEAT END_BEAT NAME" : "expected: cue BEAT NAME");
            continue;
        }
        const Token& nameToken = tokens.back();
        if (!IsName(nameToken.text)) {
            fail(nameToken, "'" + nameToken.text + "' is not a name (letters, digits, '_' and '.')");
            continue;
        }
        int32_t start = 0, end = 0;
        if (!ParseBeat(tokens[1].text, &start)) {
            fail(tokens[1], "'" + tokens[1].text + "' is not a beat");
            continue;
        }
        if (kind == "section") {
            if (!ParseBeat(tokens[2].text, &end)) {
                fail(tokens[2], "'" + tokens[2].text + "' is not a beat");
                continue;
            }
            if (end <= start) {
                fail(tokens[2], "section ends before it starts");
                continue;
            }
            form->sections.push_back({nameToken.text, start, end});
        } else {
            form->cues.push_back({nameToken.text, start});
        }
        auto known = form->rowsByName.find(nameToken.text);
        if (known != form->rowsByName.end() && known->second != start) {
            fail(nameToken, "'" + nameToken.text + "' already names beat " + FormatBeatTime(known->second) +
                                " (line " + std::to_string(lineOfName[nameToken.text]) + ")");
            continue;
        }
        if (known == form->rowsByName.end()) {
            form->rowsByName[nameToken.text] = start;
            lineOfName[nameToken.text] = lineNumber;
        }
    }
    return errors->size() == errorsBefore;
}

bool LoadSongForm(const std::string& path, SongForm* form, std::vector<std::string>* errors) {
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        errors->push_back(path + ": cannot read the sections file");
        return false;
    }
    return ParseSongForm(text, path, form, errors);
}
