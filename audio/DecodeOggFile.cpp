// Ogg Vorbis decoding with libvorbisfile into one block. Limits: mono and
// stereo only; the block holds what decodes, up to the stream's stated total
// time, with a short silence for a stream that ends a little early.
#include "audio/DecodeOggFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vorbis/vorbisfile.h>

namespace {

// The block grows by at least this much at a time while decoding.
constexpr size_t kDecodeStepBytes = size_t(1) << 20;

// Bytes held in memory, read through vorbisfile's callbacks.
struct MemoryStream {
    const unsigned char* data;
    size_t size;
    size_t position;
};

size_t ReadMemory(void* out, size_t size, size_t count, void* source) {
    auto* stream = static_cast<MemoryStream*>(source);
    if (size == 0) return 0;
    size_t items = std::min(count, (stream->size - stream->position) / size);
    if (items > 0) std::memcpy(out, stream->data + stream->position, items * size);
    stream->position += items * size;
    return items;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
    auto* stream = static_cast<MemoryStream*>(source);
    ogg_int64_t base = whence == SEEK_SET ? 0
                       : whence == SEEK_CUR ? ogg_int64_t(stream->position)
                       : whence == SEEK_END ? ogg_int64_t(stream->size)
                                            : -1;
    if (base < 0 || offset < -base || offset > ogg_int64_t(stream->size) - base) return -1;
    stream->position = size_t(base + offset);
    return 0;
}

long TellMemory(void* source) { return long(static_cast<MemoryStream*>(source)->position); }

// Decodes an opened stream into song and releases the stream.
bool DecodeOpened(OggVorbis_File* file, DecodedSong* song) {
    struct Release {
        OggVorbis_File* file;
        ~Release() { ov_clear(file); }
    } release{file};

    vorbis_info* info = ov_info(file, -1);
    if (!info) return false;
    int channels = info->channels;
    long rate = info->rate;
    // More channels would be played as a stereo stream of the wrong length
    // and meaning, so such files are refused.
    if (channels < 1 || channels > 2 || rate <= 0) return false;

    double seconds = ov_time_total(file, -1);
    double bytes = seconds * double(rate) * double(channels) * 2.0;
    if (!(bytes >= 1.0) || bytes > kMaxSongBytes) return false;
    // Whole sample frames only: OpenAL refuses a block with a partial frame.
    const size_t frameBytes = size_t(channels) * 2;
    const size_t stated = size_t(bytes) / frameBytes * frameBytes;
    if (stated == 0) return false;

    // The stated length comes from the last page alone, so it is only an
    // upper bound: the block grows with what really decodes. Growth past
    // what memory allows ends the song, not the process.
    std::vector<char> block;
    size_t done = 0;
    int section = 0;
    try {
        while (done < stated) {
            if (block.size() - done < kDecodeStepBytes / 2 && block.size() < stated)
                block.resize(std::min(stated, std::max(block.size() * 2, done + kDecodeStepBytes)));
            long room = long(std::min<size_t>(block.size() - done, size_t(1) << 30));
            long got = ov_read(file, block.data() + done, int(room), 0, 2, 1, &section);
            if (got <= 0) break;
            // A chained stream whose next link changes the layout would turn
            // into noise in this block: it ends here.
            vorbis_info* now = ov_info(file, section);
            if (!now || now->channels != channels) break;
            done += size_t(got);
        }
        done = done / frameBytes * frameBytes;
        if (done == 0) return false;
        // A stream a little short of its stated length is padded with silence
        // up to it (the block is zero-filled past what decoded).
        double shortfall = double(stated - done);
        double padLimit = std::min(double(done), kMaxSilencePadSeconds * double(rate) * double(frameBytes));
        block.resize(shortfall <= padLimit ? stated : done);
        block.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        return false;
    }

    song->samples.swap(block);
    song->decodedBytes = done;
    song->channels = channels;
    song->rate = rate;
    return true;
}

}  // namespace

bool DecodeOggFile(const char* path, DecodedSong* song) {
    OggVorbis_File file;
    if (!path || ov_fopen(path, &file) < 0) return false;
    return DecodeOpened(&file, song);
}

bool DecodeOggMemory(const void* data, size_t size, DecodedSong* song) {
    if (!data && size > 0) return false;
    MemoryStream stream{static_cast<const unsigned char*>(data), size, 0};
    const ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
    OggVorbis_File file;
    if (ov_open_callbacks(&stream, &file, nullptr, 0, callbacks) < 0) return false;
    return DecodeOpened(&file, song);
}
