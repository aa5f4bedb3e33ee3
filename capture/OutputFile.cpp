// Temporary output files and their move to the final name.
#include "capture/OutputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

bool CreateTemporaryBeside(const std::string& finalPath, std::string* temporaryPath, std::string* error) {
    const std::filesystem::path target(finalPath);
    std::error_code ignored;
    if (target.filename().empty() || std::filesystem::is_directory(target, ignored)) {
        *error = "'" + finalPath + "' is a folder, not a file name";
        return false;
    }
    const std::filesystem::path folder = target.parent_path();
    const std::string pattern =
        (folder / ("." + target.filename().string() + ".partial-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        const std::string where = folder.empty() ? "." : folder.string();
        *error = "cannot create a file in '" + where + "': " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; the output gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    *temporaryPath = name.data();
    return true;
}

bool MoveIntoPlace(const std::string& temporaryPath, const std::string& finalPath, std::string* error) {
    if (std::rename(temporaryPath.c_str(), finalPath.c_str()) == 0) return true;
    *error = "cannot rename '" + temporaryPath + "' to '" + finalPath + "': " + std::strerror(errno);
    RemoveIfPresent(temporaryPath);
    return false;
}

void RemoveIfPresent(const std::string& path) {
    if (!path.empty()) std::remove(path.c_str());
}
