// Diagnosis of track files for the check and inspect commands.
#include "tools/synctool/TrackCheck.h"

#include <algorithm>
#include <filesystem>

#include "tools/synctool/TrackSource.h"

namespace fs = std::filesystem;

std::string TrackNameFromPath(const std::string& path) {
    std::string file = fs::path(path).filename().string();
    const std::string suffix = ".track";
    if (file.size() >= suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
        file.erase(file.size() - suffix.size());
    if (!file.empty() && file[0] == '_') file.erase(0, 1);
    return file;
}

TrackFileReport InspectTrackBytes(const std::string& path, const std::string& bytes) {
    TrackFileReport report;
    report.path = path;
    report.name = TrackNameFromPath(path);
    report.contents = ParseTrackBytes(bytes);
    const TrackFileContents& c = report.contents;
    auto problem = [&](const std::string& text) { report.problems.push_back(text); };

    std::string file = fs::path(path).filename().string();
    if (file.size() < 8 || file[0] != '_' || file.compare(file.size() - 6, 6, ".track") != 0)
        problem("file name is not _NAME.track, so the player will not find it under any track name");
    std::string nameProblem = TrackNameProblem(report.name);
    if (!nameProblem.empty() && !report.name.empty()) problem(nameProblem);

    if (!c.hasCount) {
        problem("file is " + std::to_string(c.fileSize) + " bytes, too short to hold the key count (4 bytes)");
        return report;
    }
    uint64_t whole = (c.fileSize - 4) / 9;
    uint64_t stray = (c.fileSize - 4) % 9;
    if (stray != 0)
        problem("size " + std::to_string(c.fileSize) + " is not 4 + 9n: " + std::to_string(stray) +
                " bytes after the last whole key");
    if (c.declaredCount < 0)
        problem("key count is negative (" + std::to_string(c.declaredCount) + "); the player reads no keys");
    else if (uint64_t(c.declaredCount) > whole)
        problem("key count says " + std::to_string(c.declaredCount) + " but the file holds " + std::to_string(whole) +
                " whole keys; the player keeps those");
    else if (uint64_t(c.declaredCount) < whole)
        problem("key count says " + std::to_string(c.declaredCount) + " but the file holds " + std::to_string(whole) +
                " whole keys; the player ignores the rest");

    int reported = 0;
    for (size_t i = 1; i < c.keys.size(); ++i) {
        if (c.keys[i].row > c.keys[i - 1].row) continue;
        if (++reported > 5) continue;
        problem("rows not increasing: key " + std::to_string(i) + " at row " + std::to_string(c.keys[i].row) +
                " follows key " + std::to_string(i - 1) + " at row " + std::to_string(c.keys[i - 1].row));
    }
    if (reported > 5) problem(std::to_string(reported - 5) + " more keys out of order");

    reported = 0;
    for (size_t i = 0; i < c.keys.size(); ++i) {
        if (InterpolationName(c.keys[i].type)) continue;
        if (++reported > 5) continue;
        problem("unknown interpolation type " + std::to_string(c.keys[i].type) + " at key " + std::to_string(i) +
                " (row " + std::to_string(c.keys[i].row) + ")" +
                (i + 1 < c.keys.size() ? "; it reads 0 until the next key" : ""));
    }
    if (reported > 5) problem(std::to_string(reported - 5) + " more keys of unknown type");
    return report;
}

bool CollectTrackFiles(const std::vector<std::string>& arguments, std::vector<std::string>* files,
                       std::vector<std::string>* errors) {
    bool ok = true;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (fs::is_directory(argument, error)) {
            // Every step with an error code: an entry whose status cannot be
            // had (a symbolic link loop, say) is listed and then fails to read.
            std::vector<std::string> found;
            fs::directory_iterator it(argument, error), end;
            if (error) {
                errors->push_back(argument + ": cannot list this folder (" + error.message() + ")");
                ok = false;
                continue;
            }
            for (; it != end; it.increment(error)) {
                std::string file = it->path().filename().string();
                std::error_code statusError;
                if (file.size() > 6 && file.compare(file.size() - 6, 6, ".track") == 0 &&
                    !it->is_directory(statusError))
                    found.push_back(it->path().string());
            }
            if (error) {
                errors->push_back(argument + ": cannot list this folder (" + error.message() + ")");
                ok = false;
            }
            std::sort(found.begin(), found.end());
            if (found.empty() && !error) {
                errors->push_back(argument + ": no .track files in this folder");
                ok = false;
            }
            files->insert(files->end(), found.begin(), found.end());
        } else if (fs::exists(argument, error)) {
            files->push_back(argument);
        } else {
            errors->push_back(argument + ": no such file or folder");
            ok = false;
        }
    }
    return ok;
}
