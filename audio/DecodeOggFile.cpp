// Ogg Vorbis decoding with libvorbisfile into one preallocated block. Limits:
// mono and stereo only; the block size comes from the stream's total time.
#include "audio/DecodeOggFile.h"

#include <cmath>
#include <vorbis/vorbisfile.h>

bool DecodeOggFile(const char* path, DecodedSong* song) {
    OggVorbis_File file;
    if (ov_fopen(path, &file) < 0) return false;

    vorbis_info* info = ov_info(&file, -1);
    if (!info) {
        ov_clear(&file);
        return false;
    }
    int channels = info->channels;
    long rate = info->rate;
    // More channels would be played as a stereo stream of the wrong length
    // and meaning, so such files are refused.
    if (channels < 1 || channels > 2 || rate <= 0) {
        ov_clear(&file);
        return false;
    }

    double seconds = ov_time_total(&file, -1);
    double bytes = seconds * double(rate) * double(channels) * 2.0;
    if (!(bytes >= 1.0) || bytes > kMaxSongBytes) {
        ov_clear(&file);
        return false;
    }
    // Whole sample frames only: OpenAL refuses a block with a partial frame.
    size_t frameBytes = size_t(channels) * 2;
    size_t size = size_t(bytes) / frameBytes * frameBytes;
    if (size == 0) {
        ov_clear(&file);
        return false;
    }

    // Zero-filled, so whatever the decoder does not reach plays as silence.
    std::vector<char> block(size, 0);
    size_t done = 0;
    int section = 0;
    while (done < size) {
        long room = long(size - done);
        long got = ov_read(&file, block.data() + done, int(room > 1 << 30 ? 1 << 30 : room), 0, 2, 1,
                           &section);
        if (got <= 0) break;
        // A chained stream whose next link changes the layout would turn
        // into noise in this block: it ends here, the rest stays silent.
        vorbis_info* now = ov_info(&file, section);
        if (!now || now->channels != channels) break;
        done += size_t(got);
    }
    ov_clear(&file);

    song->samples.swap(block);
    song->decodedBytes = done;
    song->channels = channels;
    song->rate = rate;
    return true;
}
