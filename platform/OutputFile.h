// Outputs that are complete or absent. Every file a Tessel program writes is
// first written under a hidden temporary name beside its final one
// (".NAME.partial-XXXXXX"), every write and the close checked and the data
// synced, then renamed over the final name, which is atomic within a folder.
// A failure leaves the final name as it was and removes the temporary; so
// does SIGINT, SIGTERM or SIGHUP in a program that has not set its own
// handler for it (the programs that have, stop and clean up themselves).
// A folder of outputs (a track set) is replaced as a whole the same way.
// Limits: the folder must take new files (the temporary lives there); a
// symbolic link at the final name is followed, so the link stays and its
// target is replaced; the owner of a replaced file is not kept, its mode is.
// A device or a pipe at the final name (/dev/null, /dev/stdout) is written
// to directly, as it cannot be replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Writes `bytes` to `path` through a temporary beside it. True when `path`
// holds exactly `bytes`; false with "PATH: reason" in *error (may be null),
// `path` untouched and no temporary left.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

// A file written piece by piece that appears under its name at Commit.
// Destroying an uncommitted file removes its temporary.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary beside `path`; false with "PATH: reason".
    bool Open(const std::string& path, std::string* error);
    // Writes all of `data` at the current position. False once any write has
    // failed; Error() and Commit then give the first failure.
    bool Write(const void* data, size_t size);
    // Moves the write position like lseek; the new position, or -1.
    int64_t Seek(int64_t offset, int whence);
    // The temporary's size so far, or -1.
    int64_t Size() const;
    // Syncs, closes and renames the temporary to the final name. False with
    // "PATH: reason" when anything failed since Open; the temporary is then gone.
    bool Commit(std::string* error);
    // Removes the temporary; the final name is not touched.
    void Discard();

    bool IsOpen() const { return fd >= 0; }
    // The name the file gets at Commit, as given to Open.
    const std::string& Path() const { return path; }
    // The temporary being written; empty when none.
    const std::string& TemporaryPath() const { return temporary; }
    // "PATH: reason" of the first failure; empty while all is well.
    const std::string& Error() const { return error; }

private:
    bool Fail(int code);

    std::string path;
    std::string target;  // the file replaced at Commit: `path` with a symbolic link resolved
    std::string temporary;
    std::string error;
    int fd = -1;
    int cleanupSlot = -1;
};

// A folder of outputs written under a temporary name and put in place at
// Commit: either replacing a folder as a whole, or adding its files to one.
// Destroying an uncommitted one removes it and what it holds.
class OutputFolder {
public:
    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // For a replacement: creates the empty temporary folder beside `path`;
    // false with "PATH: reason".
    bool Open(const std::string& path, std::string* error);
    // For additions: creates the temporary folder inside the existing folder
    // `path` (so it is on the same file system even when `path` is a mount
    // point); false with "PATH: reason".
    bool OpenForAdding(const std::string& path, std::string* error);
    // Where to write the new contents until Commit (files only, no subfolders).
    const std::string& TemporaryPath() const { return temporary; }
    // Syncs the new files, then puts them in place. A replacement swaps the
    // new folder with `path` (renameat2 RENAME_EXCHANGE, or two renames where
    // the file system lacks it) and removes the old contents; false with
    // "PATH: reason" and `path` as it was. Additions are renamed into `path`
    // one by one, each replacing a file of its name; a failure part way (which
    // takes a folder in a file's place) leaves the files moved so far.
    bool Commit(std::string* error);
    void Discard();

private:
    // Creates the temporary folder `name` (another random suffix on a clash).
    bool MakeTemporary(const std::string& name, std::string* error);
    bool Sync(std::string* error);
    bool Replace(std::string* error);
    bool Add(std::string* error);

    std::string path;
    std::string target;
    std::string temporary;
    bool adding = false;
    int cleanupSlot = -1;
};

}  // namespace platform
