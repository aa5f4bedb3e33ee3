// LiveReload: what a saved file means to the running show. The track source
// or the song form: the tracks are compiled again and swapped in. A shader
// (.vert, .frag, .geom, .glsl in the shader folder): the programs are built
// again through the given rebuild, which keeps the old ones when it fails.
// Every reload leaves one result: a line on success, the errors otherwise.
// Files are only read, never written.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sync/SyncSystem.h"
#include "tools/songform/SongForm.h"

struct AuthorFiles {
    std::string source;    // the track source
    std::string sections;  // the song form
    std::string shaders;   // the shader folder
};

class LiveReload {
public:
    // Builds the programs again after `file` changed; false with the
    // compiler's log when the old programs were kept.
    using ProgramRebuild = std::function<bool(const std::string& file, std::string* log)>;

    // The paths are compared as given with the watcher's "folder/name".
    LiveReload(AuthorFiles files, SyncDevice* device, SongForm* song, ProgramRebuild rebuild)
        : files(std::move(files)), device(device), song(song), rebuild(std::move(rebuild)) {}

    // Compiles the source and swaps the tracks in; false when it has errors.
    bool ReloadTracks();
    // Handles the paths one poll of the watcher reported; true when one of
    // them was the source, the song form or a shader.
    bool Changed(const std::vector<std::string>& paths);

    // A result from elsewhere (the editing service's reloads), shown as this one's.
    void Report(bool ok, const std::string& result) {
        lastOk = ok;
        lastResult = result;
    }

    bool LastOk() const { return lastOk; }
    // One line on success; on failure the error lines, "\n" apart.
    const std::string& LastResult() const { return lastResult; }
    int Reloads() const { return reloads; }

    static bool IsShaderName(const std::string& path);

private:
    bool ReloadPrograms(const std::string& file);

    AuthorFiles files;
    SyncDevice* device;
    SongForm* song;
    ProgramRebuild rebuild;
    bool lastOk = true;
    std::string lastResult;
    int reloads = 0;
};
