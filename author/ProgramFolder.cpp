// ProgramFolder: /proc/self/exe resolved.
#include "author/ProgramFolder.h"

#include <climits>
#include <cstdlib>

std::string ProgramFolder() {
    char resolved[PATH_MAX];
    if (!realpath("/proc/self/exe", resolved)) return "";
    std::string path = resolved;
    const size_t slash = path.find_last_of('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}
