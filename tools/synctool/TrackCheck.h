// Finding track files and saying what is wrong with one.
#pragma once

#include <string>
#include <vector>

#include "sync/TrackFile.h"

struct TrackFileReport {
    std::string path;
    std::string name;  // from the file name: "_NAME.track"
    TrackFileContents contents;
    std::vector<std::string> problems;  // empty when the file is sound
};

// Reads the bytes of one file as the player would and lists every problem:
// a size that is not 4 + 9n, a count that does not match, rows that do not
// strictly increase, unknown interpolation types, a badly formed name.
TrackFileReport InspectTrackBytes(const std::string& path, const std::string& bytes);

// Files named on the command line, folders expanded to their "_*.track"
// files in name order. Paths that do not exist, folders that cannot be
// listed and folders without track files are errors (false).
bool CollectTrackFiles(const std::vector<std::string>& arguments, std::vector<std::string>* files,
                       std::vector<std::string>* errors);

// "Camera Pitch" for ".../_Camera Pitch.track"; other names without ".track".
std::string TrackNameFromPath(const std::string& path);
