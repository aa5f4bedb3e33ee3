// Reading input files the guarded way, for every reader of shaders, images,
// track files and the configuration: the file is opened without blocking (a
// FIFO with no writer cannot hold the caller), only a regular file is read (a
// folder opens but holds no bytes, a device may never end), and no more is
// read than the caller's bound. A file that shrinks while it is read gives
// what was there. The Linux backend is posix_file_read.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// One file opened for reading; closed with the object.
class RegularFileReader {
public:
    // Opens `path` (null opens nothing) and looks at what it is.
    explicit RegularFileReader(const char* path);
    ~RegularFileReader();
    RegularFileReader(const RegularFileReader&) = delete;
    RegularFileReader& operator=(const RegularFileReader&) = delete;

    // False when the path is missing, unreadable or null.
    bool Opened() const { return handle >= 0; }
    // True only for a regular file: nothing else is ever read.
    bool Regular() const { return regular; }
    // The size at opening; 0 unless Regular().
    uint64_t Size() const { return size; }

    // Reads up to `count` bytes into `into`; returns how many it got (fewer
    // at the end of the file or on a read error, none unless Regular()).
    size_t Read(void* into, size_t count);
    // Appends up to `count` more bytes to `bytes`; false, with nothing
    // appended, when room for them cannot be had.
    bool Append(uint64_t count, std::string* bytes);

private:
    intptr_t handle = -1;
    bool regular = false;
    uint64_t size = 0;
};

enum class FileReadResult {
    Read,        // the whole file is in the bytes
    NotOpened,   // missing, unreadable, or no path
    NotRegular,  // a folder, a FIFO, a device
    TooLarge,    // larger than the bound at opening
    NoMemory,    // room for the bytes could not be had
};

// Reads a regular file of at most `maxBytes` whole into `bytes` (emptied
// first); anything but Read leaves `bytes` empty.
FileReadResult ReadRegularFile(const char* path, uint64_t maxBytes, std::string* bytes);

}  // namespace platform
