// The log file on POSIX: one writer at a time. The file is opened without
// truncating, locked with a non-blocking exclusive flock, and only then
// emptied, so a second copy that fails to lock leaves the first copy's log
// as it was. Readers are not locked out.
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

struct FileRecord {
    int fd = -1;
};

FileHandle CreateExclusiveWriteFile(const char* path, const char** reason) {
    const char* ignored;
    if (!reason) reason = &ignored;
    *reason = nullptr;
    if (!path) {
        *reason = "no file name";
        return nullptr;
    }
    // Non-blocking so that a FIFO in the file's place cannot stall the open.
    int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *reason = "it is not a regular file";
        close(fd);
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *reason = errno == EWOULDBLOCK ? "another running copy is writing it" : std::strerror(errno);
        close(fd);
        return nullptr;
    }
    if (ftruncate(fd, 0) != 0) {
        *reason = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    return new FileRecord{fd};
}

bool WriteFile(FileHandle file, const void* data, uint32_t bytes, uint32_t* written) {
    if (written) *written = 0;
    if (!file || file->fd < 0 || (!data && bytes)) return false;
    ssize_t result = write(file->fd, data, bytes);
    if (result < 0) return false;
    if (written) *written = static_cast<uint32_t>(result);
    return static_cast<uint32_t>(result) == bytes;
}

void CloseFile(FileHandle file) {
    if (!file) return;
    if (file->fd >= 0) close(file->fd);
    delete file;
}

}  // namespace platform
