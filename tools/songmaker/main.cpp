// songmaker: renders the production song from its form file and writes it as
// Ogg Vorbis (and optionally WAV). Same arguments, same bytes. Exit status 0
// when every file asked for is written, 1 when one cannot be, 2 for a
// mistake on the command line.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Encode.h"
#include "Song.h"
#include "cli/CommandLine.h"
#include "tools/songform/SongForm.h"

int main(int argc, char** argv) {
    std::string formPath, oggPath, wavPath;
    SongOptions options;
    OggSettings ogg;
    double seconds = -1;

    cli::CommandLine line("songmaker", "Renders the song from its form and writes it as Ogg Vorbis or WAV.");
    CLI::App& app = line.App();
    app.add_option("--form", formPath, "the song's form (production/song_sections.txt)")
        ->type_name("FILE")
        ->required()
        ->check(cli::ExistingFile());
    CLI::Option* out = app.add_option("--out", oggPath, "the song as Ogg Vorbis")->type_name("FILE")->check(cli::NotEmpty());
    CLI::Option* wav = app.add_option("--wav", wavPath, "the song as 16-bit WAV")->type_name("FILE")->check(cli::NotEmpty());
    app.add_option("--seed", options.seed, "variation seed (default 94)")
        ->type_name("N")
        ->check(cli::WholeNumber(0, 4294967295LL));
    app.add_option("--bpm", options.bpm, "tempo (default 140; the player assumes 140)")
        ->type_name("X")
        ->check(cli::Number(20, 400));
    app.add_option("--start", options.startBeat, "first beat to render (default 0)")
        ->type_name("BEAT")
        ->check(cli::Number(0, 1e6));
    CLI::Option* beats = app.add_option("--beats", options.lengthBeats,
                                        "render this many beats, fading out over the last one (default: to the end)")
                             ->type_name("N")
                             ->check(cli::Number(1.0 / 16, 1e6));
    app.add_option("--seconds", seconds, "the same, given in seconds")
        ->type_name("S")
        ->check(cli::Number(0.001, 1e6))
        ->excludes(beats);
    app.add_option("--quality", ogg.quality, "Vorbis VBR quality, -0.1 to 1 (default 0.5)")
        ->type_name("Q")
        ->check(cli::Number(-0.1, 1));
    if (const std::optional<int> exit = line.Parse(argc, argv)) return *exit;
    if (!out->count() && !wav->count()) return line.Refuse("nothing to write: give --out FILE, --wav FILE or both");
    if (seconds > 0) options.lengthBeats = seconds * options.bpm / 60.0;

    SongForm form;
    std::vector<std::string> formErrors;
    if (!LoadSongForm(formPath, form, formErrors)) {
        for (const std::string& e : formErrors) std::fprintf(stderr, "songmaker: %s\n", e.c_str());
        return 1;
    }
    std::string error;
    if (options.startBeat >= form.EndBeat()) {
        char problem[160];
        std::snprintf(problem, sizeof problem, "--start: beat %g lies beyond the song's end at beat %g",
                      options.startBeat, form.EndBeat());
        return line.Refuse(problem);
    }
    const auto t0 = std::chrono::steady_clock::now();
    const std::vector<float> song = RenderSong(form, options);
    const auto t1 = std::chrono::steady_clock::now();
    if (!wavPath.empty() && !WriteWav16(wavPath, song, 2, options.sampleRate, error)) {
        std::fprintf(stderr, "songmaker: %s\n", error.c_str());
        return 1;
    }
    if (!oggPath.empty() && !WriteOggVorbis(oggPath, song, 2, options.sampleRate, ogg, error)) {
        std::fprintf(stderr, "songmaker: %s\n", error.c_str());
        return 1;
    }
    const auto t2 = std::chrono::steady_clock::now();
    const double seconds_of_audio = double(song.size() / 2) / options.sampleRate;
    std::printf("songmaker: %.2f s of audio, synthesis %.2f s, writing %.2f s\n", seconds_of_audio,
                std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count());
    return 0;
}
