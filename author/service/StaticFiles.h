// StaticFiles: the editor page's files, read once from a folder into memory
// so that no part of a request's path ever reaches the disk. Only files with
// a known type are taken (.html, .js, .css, .svg, .png, .json), from the
// folder and its subfolders, at most 512 files and 32 MiB in all; hidden
// names are skipped. "/" is "/index.html".
#pragma once

#include <map>
#include <string>

class StaticFiles {
public:
    struct File {
        std::string bytes;
        std::string type;
    };

    // Reads the folder; false (and no files) when it cannot be listed.
    bool Load(const std::string& folder);
    // The file at a request path ("/js/api.js"), or null.
    const File* Find(const std::string& path) const;
    bool Empty() const { return files.empty(); }
    size_t Count() const { return files.size(); }

private:
    std::map<std::string, File> files;  // by "/relative/path"
};

// The Content-Type for a file name, or empty when it is not served.
std::string StaticFileType(const std::string& name);
