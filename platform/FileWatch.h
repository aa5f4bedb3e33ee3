// FileWatch: the files that were written, created or renamed into a few
// watched folders, collected without ever blocking. An editor that saves by
// renaming a new file over the old one shows up as that name too. Folders
// are not watched recursively. The Linux backend is posix_file_watch.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

class FileWatch {
public:
    FileWatch();
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Starts watching one folder; false when it cannot be watched.
    bool Watch(const std::string& folder);
    // The paths (folder + "/" + name) changed since the last call, each once,
    // in the order they first changed; empty when nothing happened.
    std::vector<std::string> Poll();

private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace platform
