// RunFolder: mkdtemp and symbolic links.
#include "author/RunFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

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
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tessel-author-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        *error = "cannot make a run folder " + pattern;
        return false;
    }
    folder = pattern;
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
