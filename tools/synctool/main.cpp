// synctool: the show author's tool for sync track files.
//   inspect FILE...                         readable rows and what is wrong
//   check FILE|DIR...                       problems only; non-zero exit if any
//   compile [--sections FILE] -o OUTDIR SOURCE
//   dump FILE|DIR...                        track files back to text
//   plot [--sections FILE] -o OUT.png FILE|DIR...
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "platform/OutputFile.h"
#include "sync/TrackFile.h"
#include "tools/songform/SongForm.h"
#include "tools/songform/TextLines.h"
#include "tools/synctool/TrackCheck.h"
#include "tools/synctool/TrackPlot.h"
#include "tools/synctool/TrackSource.h"

namespace fs = std::filesystem;

namespace {

void PrintErrors(const std::vector<std::string>& errors) {
    for (const std::string& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
}

struct Options {
    std::string sections;
    std::string out;
    std::vector<std::string> inputs;
};

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

// Why `folder` cannot take a compiled track set (it holds something else,
// which replacing the set would lose); empty when it can.
std::string RefuseOutputFolder(const std::string& folder) {
    std::error_code error;
    if (!fs::exists(folder, error)) return {};
    if (!fs::is_directory(folder, error)) return folder + ": " + std::strerror(ENOTDIR);
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const bool track = name.size() > 7 && name[0] == '_' && entry->path().extension() == ".track" &&
                           entry->is_regular_file(error);
        if (!track) {
            return folder + " holds '" + name + "', which is not a track file; compile replaces the folder's "
                   "whole track set, so give it a folder of its own";
        }
    }
    return error ? folder + ": " + error.message() : std::string();
}

int Compile(const Options& o) {
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
    std::string problem = RefuseOutputFolder(o.out);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    // The new set is built beside the old one and takes its place whole.
    std::error_code ignored;
    const fs::path parent = fs::path(o.out).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ignored);
    platform::OutputFolder folder;
    if (!folder.Open(o.out, &problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    for (const SourceTrack& t : tracks) {
        const std::string name = TrackFileName(t.name);
        if (!platform::WriteFileAtomically(folder.TemporaryPath() + "/" + name, EncodeTrackBytes(t.keys), &problem)) {
            // Named as the file would have been: the temporary folder means nothing to the reader.
            const size_t reason = problem.rfind(": ");
            const std::string why = reason == std::string::npos ? problem : problem.substr(reason + 2);
            std::fprintf(stderr, "%s: %s\n", (fs::path(o.out) / name).c_str(), why.c_str());
            return 1;
        }
    }
    if (!folder.Commit(&problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    return 0;
}

int Dump(const Options& o) {
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
    Options options;
    cli::CommandLine line("synctool", "The show author's tool for sync track files (_<name>.track).");
    CLI::App& app = line.App();
    app.require_subcommand(1);
    const auto addInputs = [&](CLI::App* command, const char* what) {
        command->add_option("PATH", options.inputs, what)->required()->check(cli::NotEmpty());
    };
    const auto addSections = [&](CLI::App* command) {
        command->add_option("--sections", options.sections, "song form whose section and cue names the times may use")
            ->type_name("FILE")
            ->check(cli::ExistingFile());
    };
    CLI::App* inspect = app.add_subcommand("inspect", "readable rows and what is wrong");
    addInputs(inspect, "track files");
    CLI::App* check = app.add_subcommand("check", "problems only; exit status 1 if any");
    addInputs(check, "track files or folders of them");
    CLI::App* compile = app.add_subcommand("compile", "text source to a folder of track files, replacing its set whole");
    addSections(compile);
    compile->add_option("-o,--out", options.out, "the folder of track files")
        ->type_name("DIR")
        ->required()
        ->check(cli::NotEmpty());
    compile->add_option("SOURCE", options.inputs, "the track source")->required()->expected(1)->check(cli::ExistingFile());
    CLI::App* dump = app.add_subcommand("dump", "track files back to text, on standard output");
    addInputs(dump, "track files or folders of them");
    CLI::App* plot = app.add_subcommand("plot", "every track over its beats, one PNG");
    addSections(plot);
    plot->add_option("-o,--out", options.out, "the picture")->type_name("FILE")->required()->check(cli::NotEmpty());
    addInputs(plot, "track files or folders of them");

    // "synctool help" has always printed the usage.
    std::vector<const char*> args(argv, argv + argc);
    if (args.size() == 2 && std::string(args[1]) == "help") args[1] = "--help";
    if (const std::optional<int> exit = line.Parse(static_cast<int>(args.size()), args.data())) return *exit;
    if (inspect->parsed()) return Inspect(options);
    if (check->parsed()) return Check(options);
    if (compile->parsed()) return Compile(options);
    if (dump->parsed()) return Dump(options);
    return Plot(options);
}
