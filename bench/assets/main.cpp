// Production asset costs: how long the tools take to synthesise and encode the
// song and to draw and write the textures, and how fast the player's loader
// decodes the song compared with its playing time. Prints a table.
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "Encode.h"
#include "Song.h"
#include "tools/songform/SongForm.h"
#include "Textures.h"
#include "audio/DecodeOggFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Row(const char* what, double seconds, const std::string& note) {
    std::printf("| %-34s | %9.3f s | %-30s |\n", what, seconds, note.c_str());
}

}  // namespace

int main() {
    SongForm form;
    std::vector<std::string> errors;
    if (!LoadSongForm(TESSEL_SOURCE_DIR "/production/song_sections.txt", form, errors)) {
        for (const std::string& e : errors) std::fprintf(stderr, "asset_bench: %s\n", e.c_str());
        return 1;
    }
    std::string error;
    const std::string scratch = "/tmp/tessel_asset_bench_" + std::to_string(getpid());

    std::printf("| %-34s | %11s | %-30s |\n", "step", "time", "note");
    std::printf("|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(13, '-').c_str(),
                std::string(32, '-').c_str());

    auto t = Clock::now();
    const std::vector<float> song = RenderSong(form, SongOptions());
    const double synth = Since(t);
    const double songSeconds = double(song.size() / 2) / 44100.0;
    char note[64];
    std::snprintf(note, sizeof note, "%.1f s of music, %.0fx real time", songSeconds, songSeconds / synth);
    Row("song: synthesis", synth, note);

    t = Clock::now();
    const bool encoded = WriteOggVorbis(scratch + ".ogg", song, 2, 44100, OggSettings(), error);
    const double encode = Since(t);
    std::snprintf(note, sizeof note, encoded ? "%.0fx real time" : "FAILED", songSeconds / encode);
    Row("song: Vorbis encoding", encode, note);
    Row("song: total (songmaker)", synth + encode, "");

    t = Clock::now();
    const Image sprite = MakeSprite(64);
    const bool spriteOk = stbi_write_png((scratch + ".png").c_str(), sprite.width, sprite.height, 4,
                                         sprite.rgba.data(), sprite.width * 4) != 0;
    Row("sprite: draw + PNG", Since(t), spriteOk ? "64 x 64" : "FAILED");

    t = Clock::now();
    const Image cross = MakeCubeCross(512, 6);
    const double draw = Since(t);
    Row("cube map: draw", draw, "1536 x 2048, six 512 faces");
    t = Clock::now();
    const bool jpgOk = stbi_write_jpg((scratch + ".jpg").c_str(), cross.width, cross.height, 4,
                                      cross.rgba.data(), 92) != 0;
    Row("cube map: JPEG", Since(t), jpgOk ? "quality 92" : "FAILED");

    // The player's own loader on the show's song; best of three.
    const std::string showSong = TESSEL_SHOW_DIR "/Audio/Song_094_Final.ogg";
    double best = 1e9;
    double decodedSeconds = 0;
    for (int run = 0; run < 3; ++run) {
        DecodedSong decoded;
        t = Clock::now();
        if (!DecodeOggFile(showSong.c_str(), &decoded)) {
            best = -1;
            break;
        }
        best = std::min(best, Since(t));
        decodedSeconds = double(decoded.samples.size()) / (decoded.rate * decoded.channels * 2.0);
    }
    if (best < 0) {
        Row("song: DecodeOggFile", 0, "no song in the show folder");
    } else {
        std::snprintf(note, sizeof note, "%.0fx real time (best of 3)", decodedSeconds / best);
        Row("song: DecodeOggFile (player)", best, note);
    }
    std::remove((scratch + ".ogg").c_str());
    std::remove((scratch + ".png").c_str());
    std::remove((scratch + ".jpg").c_str());
    return 0;
}
