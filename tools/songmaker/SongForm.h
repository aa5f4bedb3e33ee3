// SongForm: the song's sections and cues as written in
// production/song_sections.txt. Lines are "# comment", "section START END NAME"
// and "cue BEAT NAME"; beats are numbers, names have no spaces.
#pragma once

#include <string>
#include <vector>

struct SongSection {
    double start = 0;  // first beat
    double end = 0;    // first beat after the section
    std::string name;
};

struct SongCue {
    double beat = 0;
    std::string name;
};

struct SongForm {
    std::vector<SongSection> sections;  // in file order, back to back from beat 0
    std::vector<SongCue> cues;          // in file order

    // Beat where the last section ends (the song's length in beats).
    double EndBeat() const;
    // Section holding the beat, or null outside the song.
    const SongSection* SectionAt(double beat) const;
    // First section with this name, or null.
    const SongSection* FindSection(const std::string& name) const;
    // Beat of the first cue with this name, or the fallback when absent.
    double CueBeat(const std::string& name, double fallback) const;
};

// Parses the text; on a malformed line returns false and says which line and why.
// Sections must start at beat 0, follow each other without gaps and be non-empty.
bool ParseSongForm(const std::string& text, SongForm& form, std::string& error);

// Reads and parses a file; false with a message when it cannot be read or parsed.
bool LoadSongForm(const std::string& path, SongForm& form, std::string& error);
