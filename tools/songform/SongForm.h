// SongForm: the song's sections and cues as written in
// production/song_sections.txt. Lines are "section START END NAME" and
// "cue BEAT NAME"; "#" starts a comment. Beats are "12", "12.5" or "12:8"
// (beat and sixteenths); names are words of letters, digits, '_' and '.'.
// The songmaker arranges by beats, synctool places keys by rows (16 a beat).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kSongRowsPerBeat = 16;

// The sync row of a beat, rounded to the nearest row.
int32_t BeatToRow(double beat);

struct SongSection {
    std::string name;
    double start = 0;  // first beat
    double end = 0;    // first beat after the section
    int32_t StartRow() const { return BeatToRow(start); }
    int32_t EndRow() const { return BeatToRow(end); }
};

struct SongCue {
    std::string name;
    double beat = 0;
    int32_t Row() const { return BeatToRow(beat); }
};

struct SongForm {
    std::vector<SongSection> sections;  // in file order, back to back from beat 0
    std::vector<SongCue> cues;          // in file order, none after the song's end

    // Beat where the last section ends (the song's length in beats).
    double EndBeat() const;
    // Section holding the beat, or null outside the song.
    const SongSection* SectionAt(double beat) const;
    // First section with this name, or null.
    const SongSection* FindSection(const std::string& name) const;
    // Beat of the first cue with this name, or the fallback when absent.
    double CueBeat(const std::string& name, double fallback) const;
    // Row a section (its start) or cue of this name stands for; false when unknown.
    bool FindRow(const std::string& name, int32_t* row) const;
};

// Parses the text into form (which is cleared first). On failure returns false
// and appends one "FILE:LINE:COLUMN: message" per broken line to errors (a
// fault of the whole file is "FILE: message").
bool ParseSongForm(const std::string& text, const std::string& fileName, SongForm& form,
                   std::vector<std::string>& errors);

// Largest sections file read.
constexpr uint64_t kMaxSongFormBytes = uint64_t(1) << 20;

// Reads and parses a file; a file that cannot be read (missing, no regular
// file, larger than kMaxSongFormBytes) is one error line.
bool LoadSongForm(const std::string& path, SongForm& form, std::vector<std::string>& errors);
