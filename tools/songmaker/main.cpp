// songmaker: renders the production song from its form file and writes it as
// Ogg Vorbis (and optionally WAV). Same arguments, same bytes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Encode.h"
#include "Song.h"
#include "tools/songform/SongForm.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: songmaker --form song_sections.txt [--out song.ogg] [--wav song.wav]\n"
                 "                 [--seed N] [--bpm X] [--start BEAT] [--beats N | --seconds S]\n"
                 "                 [--quality Q]\n"
                 "  --seed     variation seed (default 94)\n"
                 "  --bpm      tempo (default 140; the player assumes 140)\n"
                 "  --start    first beat to render (default 0)\n"
                 "  --beats    render this many beats, fading out over the last one\n"
                 "  --seconds  the same, given in seconds\n"
                 "  --quality  Vorbis VBR quality -0.1..1 (default 0.5)\n");
}

bool ParseDouble(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    std::string formPath, oggPath, wavPath;
    SongOptions options;
    OggSettings ogg;
    double seconds = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            Usage();
            return 2;
        }
        const char* value = argv[++i];
        double number = 0;
        const bool numeric = ParseDouble(value, number);
        if (arg == "--form") formPath = value;
        else if (arg == "--out") oggPath = value;
        else if (arg == "--wav") wavPath = value;
        else if (arg == "--seed" && numeric && number >= 0) options.seed = uint32_t(number);
        else if (arg == "--bpm" && numeric && number >= 20 && number <= 400) options.bpm = number;
        else if (arg == "--start" && numeric && number >= 0) options.startBeat = number;
        else if (arg == "--beats" && numeric && number > 0) options.lengthBeats = number;
        else if (arg == "--seconds" && numeric && number > 0) seconds = number;
        else if (arg == "--quality" && numeric && number >= -0.1 && number <= 1.0) ogg.quality = float(number);
        else {
            std::fprintf(stderr, "songmaker: bad argument %s %s\n", arg.c_str(), value);
            Usage();
            return 2;
        }
    }
    if (formPath.empty() || (oggPath.empty() && wavPath.empty())) {
        Usage();
        return 2;
    }
    if (seconds > 0) options.lengthBeats = seconds * options.bpm / 60.0;

    SongForm form;
    std::vector<std::string> formErrors;
    if (!LoadSongForm(formPath, form, formErrors)) {
        for (const std::string& e : formErrors) std::fprintf(stderr, "songmaker: %s\n", e.c_str());
        return 1;
    }
    std::string error;
    if (options.startBeat >= form.EndBeat()) {
        std::fprintf(stderr, "songmaker: --start %g lies beyond the song's end at beat %g\n", options.startBeat,
                     form.EndBeat());
        return 2;
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
