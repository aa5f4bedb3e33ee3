// RunFolder: the folder tessel-author runs the show in, a hidden one inside
// the show folder (".tessel-author-PID") that links the show folder's song,
// textures, compiled tracks and Config.txt and the author's shader folder,
// so that the show reads its shaders where the author edits them and nothing
// is copied, written back or written outside the show folder. The links and
// the folder go away with the object; one left by an author that was killed
// is removed by the next one started there.
#pragma once

#include <string>
#include <vector>

class RunFolder {
public:
    RunFolder() = default;
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Makes the folder for the show folder `show` and the shader folder
    // `shaders` (both absolute); false with *error. Missing show entries
    // other than Audio are not linked (the show logs what it misses).
    bool Make(const std::string& show, const std::string& shaders, std::string* error);
    const std::string& path() const { return folder; }

private:
    std::string folder;
    std::vector<std::string> links;
};

// The absolute, resolved path of an existing file or folder; empty when it
// does not exist.
std::string ResolvedPath(const std::string& path);
