// Guarded reading of input files on POSIX: open with O_NONBLOCK, fstat for a
// regular file and its size, then read() until the count is reached, the
// file ends or a read fails (EINTR is retried). O_NONBLOCK has no effect on
// reading a regular file, so the file is read in full as usual.
#include "platform/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>

namespace platform {

RegularFileReader::RegularFileReader(const char* path) {
    if (!path) return;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    handle = fd;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0) {
        regular = true;
        size = uint64_t(info.st_size);
    }
}

RegularFileReader::~RegularFileReader() {
    if (handle >= 0) close(int(handle));
}

size_t RegularFileReader::Read(void* into, size_t count) {
    if (!regular || !into) return 0;
    char* const out = static_cast<char*>(into);
    size_t done = 0;
    while (done < count) {
        const ssize_t got = read(int(handle), out + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += size_t(got);
    }
    return done;
}

bool RegularFileReader::Append(uint64_t count, std::string* bytes) {
    if (!regular || count == 0) return true;
    const size_t start = bytes->size();
    if (count > bytes->max_size() - start) return false;
    try {
        bytes->resize(start + size_t(count));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    bytes->resize(start + Read(&(*bytes)[start], size_t(count)));
    return true;
}

FileReadResult ReadRegularFile(const char* path, uint64_t maxBytes, std::string* bytes) {
    bytes->clear();
    RegularFileReader file(path);
    if (!file.Opened()) return FileReadResult::NotOpened;
    if (!file.Regular()) return FileReadResult::NotRegular;
    if (file.Size() > maxBytes) return FileReadResult::TooLarge;
    return file.Append(file.Size(), bytes) ? FileReadResult::Read : FileReadResult::NoMemory;
}

}  // namespace platform
