// SongForm parsing: a line-based text format, strict so that a typo in the
// production file is reported rather than silently changing the arrangement.
#include "SongForm.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

double SongForm::EndBeat() const {
    return sections.empty() ? 0.0 : sections.back().end;
}

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

// Reads one finite number; false on anything else.
static bool ReadNumber(std::istringstream& in, double& value) {
    std::string word;
    if (!(in >> word)) return false;
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value);
}

bool ParseSongForm(const std::string& text, SongForm& form, std::string& error) {
    form = SongForm();
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream in(line);
        std::string keyword;
        if (!(in >> keyword) || keyword[0] == '#') continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        std::string rest;
        if (keyword == "section") {
            SongSection s;
            if (!ReadNumber(in, s.start) || !ReadNumber(in, s.end) || !(in >> s.name)) {
                error = where + "expected 'section START END NAME'";
                return false;
            }
            if (in >> rest) {
                error = where + "unexpected text after the section name";
                return false;
            }
            if (s.end <= s.start) {
                error = where + "section ends before it starts";
                return false;
            }
            const double expected = form.EndBeat();
            if (s.start != expected) {
                error = where + "section starts at " + std::to_string(s.start) +
                        ", expected " + std::to_string(expected);
                return false;
            }
            form.sections.push_back(s);
        } else if (keyword == "cue") {
            SongCue c;
            if (!ReadNumber(in, c.beat) || !(in >> c.name)) {
                error = where + "expected 'cue BEAT NAME'";
                return false;
            }
            if (in >> rest) {
                error = where + "unexpected text after the cue name";
                return false;
            }
            if (c.beat < 0) {
                error = where + "cue before beat 0";
                return false;
            }
            form.cues.push_back(c);
        } else {
            error = where + "unknown keyword '" + keyword + "'";
            return false;
        }
    }
    if (form.sections.empty()) {
        error = "no sections";
        return false;
    }
    for (const SongCue& c : form.cues) {
        if (c.beat > form.EndBeat()) {
            error = "cue '" + c.name + "' lies after the end of the song";
            return false;
        }
    }
    return true;
}

bool LoadSongForm(const std::string& path, SongForm& form, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!ParseSongForm(text.str(), form, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
