// synctool: the show author's tool for sync track files.
//   inspect FILE...                         readable rows and what is wrong
//   check FILE|DIR...                       problems only; non-zero exit if any
//   compile [--sections FILE] -o OUTDIR SOURCE
//   dump FILE|DIR...                        track files back to text
//   plot [--sections FILE] -o OUT.png FILE|DIR...
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sync/TrackFile.h"
#include "tools/songform/SongForm.h"
#include "tools/songform/TextLines.h"
#include "tools/synctool/TrackCheck.h"
#include "tools/synctool/TrackPlot.h"
#include "tools/synctool/TrackSource.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "usage: synctool inspect FILE...\n"
    "       synctool check FILE|DIR...\n"
    "       synctool compile [--sections FILE] -o OUTDIR SOURCE\n"
    "       synctool dump FILE|DIR...\n"
    "       synctool plot [--sections FILE] -o OUT.png FILE|DIR...\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "synctool: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

void PrintErrors(const std::vector<std::string>& errors) {
    for (const std::string& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
}

struct Options {
    std::string sections;
    std::string out;
    std::vector<std::string> inputs;
};

// Parses "--sections FILE" and "-o PATH" anywhere among the inputs.
bool ParseOptions(int argc, char** argv, bool allowSections, bool allowOut, Options* options, std::string* problem) {
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "--sections" && allowSections) || (a == "-o" && allowOut)) {
            if (i + 1 >= argc) {
                *problem = a + " needs a value";
                return false;
            }
            (a == "-o" ? options->out : options->sections) = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            *problem = "unknown option " + a;
            return false;
        } else {
            options->inputs.push_back(a);
        }
    }
    return true;
}

bool ReadReport(const std::string& path, TrackFileReport* report) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) {
        std::fprintf(stderr, "%s: cannot read\n", path.c_str());
        return false;
    }
    *report = InspectTrackBytes(path, bytes);
    return true;
}

// The keys as the player holds them after reading (sorted if need be).
std::vector<TrackKey> PlayerKeys(const TrackFileReport& report) {
    std::vector<TrackKey> keys = report.contents.keys;
    if (!RowsStrictlyIncreasing(keys)) OrderKeysByRow(keys);
    return keys;
}

int Inspect(const Options& o) {
    if (o.inputs.empty()) return Usage("inspect needs at least one file");
    std::vector<std::string> files, errors;
    bool ok = CollectTrackFiles(o.inputs, &files, &errors);
    PrintErrors(errors);
    bool problems = !ok;
    for (const std::string& path : files) {
        TrackFileReport r;
        if (!ReadReport(path, &r)) {
            problems = true;
            continue;
        }
        std::printf("%s\n  track \"%s\": %llu bytes, key count %d, %zu keys read\n", path.c_str(), r.name.c_str(),
                    (unsigned long long)r.contents.fileSize, r.contents.declaredCount, r.contents.keys.size());
        if (!r.contents.keys.empty()) std::printf("  %5s %11s %10s %15s  %s\n", "key", "row", "beat:16th", "value", "interpolation");
        for (size_t i = 0; i < r.contents.keys.size(); ++i) {
            const TrackKey& k = r.contents.keys[i];
            const char* type = InterpolationName(k.type);
            std::string typeText = type ? type : "unknown (" + std::to_string(k.type) + ")";
            std::string time = FormatBeatTime(k.row);
            if (time.find(':') == std::string::npos) time += ":0";
            std::printf("  %5zu %11d %10s %15s  %s\n", i, k.row, time.c_str(), FormatValue(k.value).c_str(),
                        typeText.c_str());
        }
        if (r.problems.empty()) {
            std::printf("  no problems found\n");
        } else {
            problems = true;
            for (const std::string& p : r.problems) std::printf("  problem: %s\n", p.c_str());
        }
    }
    return problems ? 1 : 0;
}

int Check(const Options& o) {
    if (o.inputs.empty()) return Usage("check needs at least one file or folder");
    std::vector<std::string> files, errors;
    bool ok = CollectTrackFiles(o.inputs, &files, &errors);
    PrintErrors(errors);
    bool problems = !ok || !errors.empty();
    for (const std::string& path : files) {
        TrackFileReport r;
        if (!ReadReport(path, &r)) {
            problems = true;
            continue;
        }
        if (r.problems.empty()) {
            std::printf("%s: ok, %zu keys\n", path.c_str(), r.contents.keys.size());
            continue;
        }
        problems = true;
        for (const std::string& p : r.problems) std::printf("%s: %s\n", path.c_str(), p.c_str());
    }
    return problems ? 1 : 0;
}

bool LoadSong(const Options& o, SongForm* song) {
    if (o.sections.empty()) return true;
    std::vector<std::string> errors;
    if (LoadSongForm(o.sections, *song, errors)) return true;
    PrintErrors(errors);
    return false;
}

int Compile(const Options& o) {
    if (o.out.empty()) return Usage("compile needs -o OUTDIR");
    if (o.inputs.size() != 1) return Usage("compile takes exactly one source");
    SongForm song;
    if (!LoadSong(o, &song)) return 1;
    std::string text;
    if (!ReadWholeFile(o.inputs[0], &text)) {
        std::fprintf(stderr, "%s: cannot read\n", o.inputs[0].c_str());
        return 1;
    }
    std::vector<SourceTrack> tracks;
    std::vector<std::string> errors;
    if (!ParseTrackSource(text, o.inputs[0], o.sections.empty() ? nullptr : &song, &tracks, &errors)) {
        PrintErrors(errors);
        return 1;
    }
    std::error_code error;
    fs::create_directories(o.out, error);
    for (const SourceTrack& t : tracks) {
        std::string path = (fs::path(o.out) / TrackFileName(t.name)).string();
        std::string bytes = EncodeTrackBytes(t.keys);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "%s: cannot write\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

int Dump(const Options& o) {
    if (o.inputs.empty()) return Usage("dump needs at least one file or folder");
    std::vector<std::string> files, errors;
    bool ok = CollectTrackFiles(o.inputs, &files, &errors);
    PrintErrors(errors);
    bool failed = !ok;
    bool firstTrack = true;
    for (const std::string& path : files) {
        TrackFileReport r;
        if (!ReadReport(path, &r)) {
            failed = true;
            continue;
        }
        if (r.name.empty() || r.name.find('#') != std::string::npos || r.name.find('\n') != std::string::npos) {
            std::fprintf(stderr, "%s: the track name cannot be written as text\n", path.c_str());
            failed = true;
            continue;
        }
        if (!firstTrack) std::printf("\n");
        firstTrack = false;
        for (const std::string& p : r.problems) std::printf("# %s: %s\n", path.c_str(), p.c_str());
        std::fputs(FormatTrackSource(r.name, PlayerKeys(r)).c_str(), stdout);
    }
    return failed ? 1 : 0;
}

int Plot(const Options& o) {
    if (o.out.empty()) return Usage("plot needs -o OUT.png");
    if (o.inputs.empty()) return Usage("plot needs at least one file or folder");
    SongForm song;
    if (!LoadSong(o, &song)) return 1;
    std::vector<std::string> files, errors;
    bool ok = CollectTrackFiles(o.inputs, &files, &errors);
    PrintErrors(errors);
    if (!ok || files.empty()) return 1;
    std::vector<PlotTrack> tracks;
    for (const std::string& path : files) {
        TrackFileReport r;
        if (!ReadReport(path, &r)) return 1;
        tracks.push_back({r.name, PlayerKeys(r)});
    }
    std::string error;
    if (!PlotTracks(tracks, o.sections.empty() ? nullptr : &song, o.out, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("");
    std::string command = argv[1];
    bool sections = command == "compile" || command == "plot";
    bool out = sections;
    Options options;
    std::string problem;
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command != "inspect" && command != "check" && command != "compile" && command != "dump" && command != "plot")
        return Usage("unknown command " + command);
    if (!ParseOptions(argc, argv, sections, out, &options, &problem)) return Usage(problem);
    if (command == "inspect") return Inspect(options);
    if (command == "check") return Check(options);
    if (command == "compile") return Compile(options);
    if (command == "dump") return Dump(options);
    return Plot(options);
}
