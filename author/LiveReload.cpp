// LiveReload: choosing what a changed path reloads, and the results.
#include "author/LiveReload.h"

#include "author/LiveTracks.h"

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace

bool LiveReload::IsShaderName(const std::string& path) {
    const std::string name = BaseName(path);
    if (name.empty() || name[0] == '.') return false;  // editors' hidden swap files
    for (const char* end : {".vert", ".frag", ".geom", ".glsl"})
        if (EndsWith(name, end)) return true;
    return false;
}

bool LiveReload::ReloadTracks() {
    ++reloads;
    std::vector<SourceTrack> tracks;
    std::vector<std::string> errors;
    SongForm form;
    lastOk = CompileTrackFiles(files.source, files.sections, &form, &tracks, &errors);
    if (!lastOk) {
        lastResult = errors.empty() ? files.source + ": not compiled" : Joined(errors);
        return false;
    }
    *song = std::move(form);
    if (device) SwapTracks(*device, tracks);
    lastResult = "tracks reloaded from " + BaseName(files.source) + ": " + std::to_string(tracks.size()) +
                 " tracks";
    return true;
}

bool LiveReload::ReloadPrograms(const std::string& file) {
    ++reloads;
    std::string log;
    lastOk = !rebuild || rebuild(file, &log);
    if (lastOk) {
        lastResult = "shaders reloaded after " + BaseName(file);
    } else {
        while (!log.empty() && (log.back() == '\n' || log.back() == '\0')) log.pop_back();
        lastResult = BaseName(file) + ": the old programs are kept\n" + log;
    }
    return lastOk;
}

bool LiveReload::Changed(const std::vector<std::string>& paths) {
    bool tracks = false;
    std::string shader;
    for (const std::string& path : paths) {
        if (path == files.source || path == files.sections)
            tracks = true;
        else if (path.compare(0, files.shaders.size() + 1, files.shaders + "/") == 0 && IsShaderName(path) &&
                 path.find('/', files.shaders.size() + 1) == std::string::npos)
            shader = path;
    }
    // Shaders first, so that a save of both leaves the tracks' result up.
    if (!shader.empty()) ReloadPrograms(shader);
    if (tracks) ReloadTracks();
    return tracks || !shader.empty();
}
