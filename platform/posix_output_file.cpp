// Outputs complete or absent on POSIX: a temporary made with O_EXCL beside
// the final name (so it is on the same file system and the rename is
// atomic), written with checked write calls, fsync'd and closed, given the
// replaced file's mode, then renamed; the folder is synced after. Folders are
// swapped with renameat2(RENAME_EXCHANGE) on Linux.
#include "platform/OutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/posix_output_cleanup.h"

namespace platform {

namespace {

std::string Message(const std::string& path, int code) { return path + ": " + std::strerror(code); }

// The file a write to `path` should replace: the target of a symbolic link
// (so the link survives), else `path` itself.
std::string ReplacedPath(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return path;
    return resolved;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Twelve random hex digits.
std::string RandomSuffix() {
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) {
        static uint64_t counter = 0;
        random = (static_cast<uint64_t>(getpid()) << 32) ^ static_cast<uint64_t>(time(nullptr)) ^ ++counter;
    }
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%012llx", static_cast<unsigned long long>(random & 0xFFFFFFFFFFFFull));
    return suffix;
}

// ".NAME" + kind + a random suffix, beside `path`.
std::string TemporaryName(const std::string& path, const char* kind) {
    const std::filesystem::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + kind + RandomSuffix())).string();
}

// Makes the folder's entry for a rename durable; failures here lose nothing.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

bool WriteAll(int fd, const char* data, size_t size, int* code) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            *code = errno;
            return false;
        }
        if (written == 0) {
            *code = EIO;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
    OutputFile file;
    std::string ignored;
    if (!error) error = &ignored;
    if (!file.Open(path, error)) return false;
    file.Write(bytes.data(), bytes.size());
    return file.Commit(error);
}

// --- OutputFile ----------------------------------------------------------------

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Fail(int code) {
    if (error.empty()) error = Message(path, code);
    return false;
}

bool OutputFile::Open(const std::string& finalPath, std::string* failure) {
    Discard();
    path = finalPath;
    error.clear();
    const std::filesystem::path name(path);
    if (path.empty() || name.filename().empty() || name.filename() == "." || name.filename() == "..") {
        error = "'" + path + "' is not a file name";
        *failure = error;
        return false;
    }
    target = ReplacedPath(path);
    struct stat existing {};
    const bool replaces = stat(target.c_str(), &existing) == 0;
    if (replaces && S_ISDIR(existing.st_mode)) {
        Fail(EISDIR);
        *failure = error;
        return false;
    }
    if (replaces && !S_ISREG(existing.st_mode)) {
        // A device or a pipe (/dev/null, /dev/stdout) cannot be replaced, only written to.
        fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            Fail(errno);
            *failure = error;
            return false;
        }
        return true;
    }
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = TemporaryName(target, ".partial-");
        // 0666 less the umask, like any new file; a replaced file's mode below.
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        Fail(errno);
        temporary.clear();
        *failure = error;
        return false;
    }
    if (replaces && S_ISREG(existing.st_mode)) fchmod(fd, existing.st_mode & 07777);
    cleanupSlot = RemoveOnSignal(temporary, false);
    return true;
}

bool OutputFile::Write(const void* data, size_t size) {
    if (fd < 0) return Fail(EBADF);
    if (!error.empty()) return false;
    int code = 0;
    if (!WriteAll(fd, static_cast<const char*>(data), size, &code)) return Fail(code);
    return true;
}

int64_t OutputFile::Seek(int64_t offset, int whence) {
    if (fd < 0) return -1;
    const off_t position = lseek(fd, static_cast<off_t>(offset), whence);
    if (position < 0) Fail(errno);
    return position;
}

int64_t OutputFile::Size() const {
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) return -1;
    return info.st_size;
}

bool OutputFile::Commit(std::string* failure) {
    std::string ignored;
    if (!failure) failure = &ignored;
    if (fd < 0) {
        if (error.empty()) Fail(EBADF);
        *failure = error;
        return false;
    }
    // Delayed allocation can report a full disk only at fsync or close.
    if (error.empty() && !temporary.empty() && fsync(fd) != 0 && errno != EINVAL) Fail(errno);
    if (close(fd) != 0 && errno != EINTR) Fail(errno);
    fd = -1;
    if (error.empty() && !temporary.empty() && rename(temporary.c_str(), target.c_str()) != 0) Fail(errno);
    if (!error.empty()) {
        *failure = error;
        Discard();
        return false;
    }
    ForgetOnSignal(cleanupSlot);
    cleanupSlot = -1;
    temporary.clear();
    SyncFolder(FolderOf(target));
    return true;
}

void OutputFile::Discard() {
    if (fd >= 0) close(fd);
    fd = -1;
    if (!temporary.empty()) unlink(temporary.c_str());
    ForgetOnSignal(cleanupSlot);
    cleanupSlot = -1;
    temporary.clear();
}

// --- OutputFolder --------------------------------------------------------------

OutputFolder::~OutputFolder() { Discard(); }

bool OutputFolder::Open(const std::string& finalPath, std::string* failure) {
    Discard();
    adding = false;
    path = finalPath;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::filesystem::path name(path);
    if (path.empty() || name.filename().empty() || name.filename() == "." || name.filename() == "..") {
        *failure = "'" + finalPath + "' is not a folder name";
        return false;
    }
    target = ReplacedPath(path);
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode)) {
        *failure = Message(path, ENOTDIR);
        return false;
    }
    return MakeTemporary(TemporaryName(target, ".partial-"), failure);
}

bool OutputFolder::MakeTemporary(const std::string& first, std::string* failure) {
    int code = EEXIST;
    for (int attempt = 0; attempt < 16 && code == EEXIST; ++attempt) {
        // Another name on a clash: the suffix is the part after the last '-'.
        temporary = attempt == 0 ? first : first.substr(0, first.rfind('-') + 1) + RandomSuffix();
        code = mkdir(temporary.c_str(), 0777) == 0 ? 0 : errno;
    }
    if (code != 0) {
        temporary.clear();
        *failure = Message(path, code);
        return false;
    }
    cleanupSlot = RemoveOnSignal(temporary, true);
    return true;
}

bool OutputFolder::OpenForAdding(const std::string& folder, std::string* failure) {
    Discard();
    adding = true;
    path = folder;
    target = ReplacedPath(path);
    struct stat existing {};
    if (stat(target.c_str(), &existing) != 0) {
        *failure = Message(path, errno);
        return false;
    }
    if (!S_ISDIR(existing.st_mode)) {
        *failure = Message(path, ENOTDIR);
        return false;
    }
    return MakeTemporary(target + "/.partial-" + RandomSuffix(), failure);
}

bool OutputFolder::Commit(std::string* failure) {
    std::string ignored;
    if (!failure) failure = &ignored;
    if (temporary.empty()) {
        *failure = Message(path, EBADF);
        return false;
    }
    if (!Sync(failure)) {
        Discard();
        return false;
    }
    return adding ? Add(failure) : Replace(failure);
}

bool OutputFolder::Add(std::string* failure) {
    std::error_code listError;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator entry(temporary, listError), end; !listError && entry != end;
         entry.increment(listError)) {
        names.push_back(entry->path().filename().string());
    }
    if (listError) {
        *failure = Message(path, listError.value());
        Discard();
        return false;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string from = temporary + "/" + name;
        const std::string to = target + "/" + name;
        if (rename(from.c_str(), to.c_str()) != 0) {
            *failure = Message(path + "/" + name, errno);
            Discard();
            return false;
        }
    }
    Discard();
    SyncFolder(target);
    return true;
}

// The new files' data and names are on the disk before they become the output.
bool OutputFolder::Sync(std::string* failure) {
    std::error_code listError;
    for (std::filesystem::directory_iterator entry(temporary, listError), end; !listError && entry != end;
         entry.increment(listError)) {
        const int fd = open(entry->path().c_str(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && (fsync(fd) == 0 || errno == EINVAL);
        const int code = synced ? 0 : (errno ? errno : EIO);
        if (fd >= 0) close(fd);
        if (!synced) {
            *failure = Message(path, code);
            return false;
        }
    }
    if (listError) {
        *failure = Message(path, listError.value());
        return false;
    }
    SyncFolder(temporary);
    return true;
}

bool OutputFolder::Replace(std::string* failure) {
    struct stat existing {};
    std::string old;  // where the previous set ends up, to be removed
    if (stat(target.c_str(), &existing) != 0) {
        if (rename(temporary.c_str(), target.c_str()) != 0) {
            *failure = Message(path, errno);
            Discard();
            return false;
        }
    } else {
        if (!S_ISDIR(existing.st_mode)) {
            *failure = Message(path, ENOTDIR);
            Discard();
            return false;
        }
        // Set the new folder's mode to the old one's, as for files.
        chmod(temporary.c_str(), existing.st_mode & 07777);
        if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
            old = temporary;
        } else if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
            // No exchange here: move the old set aside, the new one in, and
            // the old one back should that fail. The name is briefly absent.
            old = TemporaryName(target, ".old-");
            if (rename(target.c_str(), old.c_str()) != 0) {
                *failure = Message(path, errno);
                Discard();
                return false;
            }
            if (rename(temporary.c_str(), target.c_str()) != 0) {
                const int code = errno;
                rename(old.c_str(), target.c_str());
                *failure = Message(path, code);
                Discard();
                return false;
            }
        } else {
            *failure = Message(path, errno);
            Discard();
            return false;
        }
    }
    // The temporary name now holds the old set (still removed on a signal), or nothing.
    SyncFolder(FolderOf(target));
    if (!old.empty()) {
        std::error_code removeError;
        std::filesystem::remove_all(old, removeError);
    }
    ForgetOnSignal(cleanupSlot);
    cleanupSlot = -1;
    temporary.clear();
    return true;
}

void OutputFolder::Discard() {
    if (!temporary.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(temporary, ignored);
    }
    ForgetOnSignal(cleanupSlot);
    cleanupSlot = -1;
    temporary.clear();
}

}  // namespace platform
