// RunFolder: mkdir and symbolic links; stale folders found by their owner's
// process id.
#include "author/RunFolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kPrefix[] = ".tessel-author-";

// The process id a run folder's name carries, or 0 when it is not one.
pid_t OwnerOf(const char* name) {
    const size_t prefix = sizeof kPrefix - 1;
    if (std::strncmp(name, kPrefix, prefix) != 0) return 0;
    char* end = nullptr;
    const long pid = std::strtol(name + prefix, &end, 10);
    return (*end == '\0' && pid > 0 && pid <= INT_MAX) ? static_cast<pid_t>(pid) : 0;
}

// Removes a run folder: its links only, then the folder, which stays if
// anything else was put in it.
void RemoveLinks(const std::string& folder) {
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string path = folder + "/" + entry->d_name;
            struct stat info {};
            if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) unlink(path.c_str());
        }
        closedir(dir);
    }
    rmdir(folder.c_str());
}

// Removes the run folders in `show` whose author is no longer running.
void RemoveStale(const std::string& show) {
    DIR* dir = opendir(show.c_str());
    if (!dir) return;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(dir)) {
        const pid_t owner = OwnerOf(entry->d_name);
        if (owner && (owner == getpid() || (kill(owner, 0) != 0 && errno == ESRCH)))
            stale.push_back(show + "/" + entry->d_name);
    }
    closedir(dir);
    for (const std::string& folder : stale) RemoveLinks(folder);
}

}  // namespace

std::string ResolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return "";
    return resolved;
}

RunFolder::~RunFolder() {
    for (const std::string& link : links) unlink(link.c_str());
    if (!folder.empty()) rmdir(folder.c_str());
}

bool RunFolder::Make(const std::string& show, const std::string& shaders, std::string* error) {
    struct stat info {};
    if (stat((show + "/Audio").c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = "no show folder here: ./Audio is missing (run tessel-author from the show folder, build/show/)";
        return false;
    }
    RemoveStale(show);
    const std::string path = show + "/" + kPrefix + std::to_string(getpid());
    if (mkdir(path.c_str(), 0700) != 0) {
        *error = "cannot make the run folder " + path + ": " + std::strerror(errno);
        return false;
    }
    folder = path;
    const std::pair<std::string, std::string> entries[] = {{"Shaders", shaders},
                                                           {"Audio", show + "/Audio"},
                                                           {"Textures", show + "/Textures"},
                                                           {"sync", show + "/sync"},
                                                           {"Config.txt", show + "/Config.txt"}};
    for (const auto& [name, target] : entries) {
        if (access(target.c_str(), F_OK) != 0) continue;
        const std::string link = folder + "/" + name;
        if (symlink(target.c_str(), link.c_str()) != 0) {
            *error = "cannot link " + link;
            return false;
        }
        links.push_back(link);
    }
    return true;
}
