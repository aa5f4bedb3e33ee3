// The song's form as the track tools read it: sections (a start and end beat
// and a name) and cues (a beat and a name), from a text file of lines
// "section START_BEAT END_BEAT NAME" and "cue BEAT NAME", "#" comments.
// Names are single words; a name both a section and a cue must mean one beat.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SongSection {
    std::string name;
    int32_t startRow = 0;
    int32_t endRow = 0;  // exclusive
};

struct SongCue {
    std::string name;
    int32_t row = 0;
};

struct SongForm {
    std::vector<SongSection> sections;
    std::vector<SongCue> cues;
    std::map<std::string, int32_t> rowsByName;  // section starts and cues
};

// Parses the text; on failure returns false with "FILE:LINE:COLUMN: message"
// lines in errors.
bool ParseSongForm(const std::string& text, const std::string& fileName, SongForm* form,
                   std::vector<std::string>* errors);

// Reads and parses a file; a file that cannot be read is one error line.
bool LoadSongForm(const std::string& path, SongForm* form, std::vector<std::string>* errors);
