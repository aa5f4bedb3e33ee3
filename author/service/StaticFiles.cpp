// StaticFiles: reading the editor's folder into memory.
#include "author/service/StaticFiles.h"

#include <filesystem>

#include "platform/FileRead.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxFiles = 512;
constexpr uintmax_t kMaxBytes = 32u << 20;

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::string StaticFileType(const std::string& name) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},   {".svg", "image/svg+xml"},
        {".png", "image/png"},                 {".json", "application/json"},
    };
    for (const auto& [suffix, type] : kTypes)
        if (EndsWith(name, suffix)) return type;
    return "";
}

bool StaticFiles::Load(const std::string& folder) {
    files.clear();
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error) return false;
    uintmax_t total = 0;
    for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        const fs::path& path = it->path();
        const std::string name = path.filename().string();
        if (!name.empty() && name[0] == '.') {
            if (it->is_directory(error)) it.disable_recursion_pending();
            continue;
        }
        const std::string type = StaticFileType(name);
        if (type.empty() || files.size() >= kMaxFiles) continue;
        // Only a regular file that fits in what the total still allows; one
        // swapped for a FIFO since the listing is not waited for.
        std::string bytes;
        if (platform::ReadRegularFile(path.c_str(), kMaxBytes - total, &bytes) != platform::FileReadResult::Read)
            continue;
        total += bytes.size();
        files["/" + fs::relative(path, folder, error).generic_string()] = {std::move(bytes), type};
    }
    return true;
}

const StaticFiles::File* StaticFiles::Find(const std::string& path) const {
    const auto found = files.find(path == "/" ? "/index.html" : path);
    return found == files.end() ? nullptr : &found->second;
}
