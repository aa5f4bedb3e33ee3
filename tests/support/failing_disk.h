// Folders that refuse writes, to test how programs fail. A SmallDisk runs
// out of room after a given size: a tmpfs of that size when the test may
// mount one (in a mount namespace of its own, so nothing outlives the test),
// else a plain folder whose programs run under a file-size limit
// (RLIMIT_FSIZE with SIGXFSZ ignored), where a file cannot grow past the size.
// A ReadOnlyFolder takes no new files: a tmpfs remounted read-only, or a
// folder without write permission where that binds (not for root).
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

class SmallDisk {
public:
    // `files` are written before the disk is limited (previous outputs). A
    // tmpfs holds `bytes`; without one, no file may grow past `fileLimit`
    // (`bytes` when 0): smaller for outputs made of many small files.
    explicit SmallDisk(size_t bytes, const std::map<std::string, std::string>& files = {}, size_t fileLimit = 0);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::string& path() const { return folder; }
    std::string operator/(const std::string& name) const { return folder + "/" + name; }
    // The command (program first) that runs `program` with `args` against the limit.
    std::vector<std::string> Command(const std::string& program, const std::vector<std::string>& args) const;
    // Runs `work` in a child process against the limit; its exit status.
    int RunInChild(const std::function<int()>& work) const;
    // What the failure says: "No space left on device" or "File too large".
    std::string Reason() const;
    bool IsTmpfs() const { return mounted; }

private:
    ScratchDir scratch;
    std::string folder;
    size_t limit;
    bool mounted = false;
};

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::map<std::string, std::string>& files = {});
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // False where neither way binds (root without mount rights): skip then.
    bool Usable() const { return usable; }
    const std::string& path() const { return folder; }
    std::string operator/(const std::string& name) const { return folder + "/" + name; }
    // "Read-only file system" or "Permission denied".
    std::string Reason() const;

private:
    ScratchDir scratch;
    std::string folder;
    bool mounted = false;
    bool usable = false;
};

// The entries of a folder whose names start with '.', such as temporaries left behind.
std::vector<std::string> HiddenEntriesIn(const std::string& folder);
// Every file under `folder` with its bytes, the names relative to it.
std::map<std::string, std::string> FolderContents(const std::string& folder);
