// Encode: Ogg Vorbis through libvorbisenc's VBR mode, and plain RIFF WAV.
#include "Encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool WritePage(std::FILE* f, const ogg_page& page) {
    return std::fwrite(page.header, 1, size_t(page.header_len), f) == size_t(page.header_len) &&
           std::fwrite(page.body, 1, size_t(page.body_len), f) == size_t(page.body_len);
}

}  // namespace

bool WriteOggVorbis(const std::string& path, const std::vector<float>& interleaved, int channels,
                    int sampleRate, const OggSettings& settings, std::string& error) {
    if (channels < 1 || sampleRate <= 0) {
        error = "bad channel count or sample rate";
        return false;
    }
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, sampleRate, settings.quality) != 0) {
        vorbis_info_clear(&vi);
        error = "the Vorbis encoder refused the settings";
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", settings.title.c_str());
    vorbis_comment_add_tag(&vc, "ARTIST", "Tessel");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, int(settings.serial));

    bool ok = true;
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    // The headers get pages of their own, so audio starts on a fresh page.
    while (ok && ogg_stream_flush(&os, &page) != 0) ok = WritePage(file.get(), page);

    const long frames = long(interleaved.size() / size_t(channels));
    const long chunk = 4096;
    long done = 0;
    bool ended = false;
    while (ok && !ended) {
        const long n = std::min(chunk, frames - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, int(n));
            for (long i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = interleaved[size_t(done + i) * size_t(channels) + size_t(c)];
            vorbis_analysis_wrote(&vd, int(n));
            done += n;
        } else {
            vorbis_analysis_wrote(&vd, 0);  // end of stream
        }
        while (ok && vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (ok && vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while (ok && ogg_stream_pageout(&os, &page) != 0) {
                    ok = WritePage(file.get(), page);
                    if (ogg_page_eos(&page)) ended = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    if (ok && std::fflush(file.get()) != 0) ok = false;
    if (!ok) error = "write failed: " + path;
    return ok;
}

namespace {
void Put16(std::FILE* f, uint16_t v) {
    const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
}
void Put32(std::FILE* f, uint32_t v) {
    Put16(f, uint16_t(v));
    Put16(f, uint16_t(v >> 16));
}
}  // namespace

bool WriteWav16(const std::string& path, const std::vector<float>& interleaved, int channels,
                int sampleRate, std::string& error) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    std::FILE* f = file.get();
    const uint32_t dataBytes = uint32_t(interleaved.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    Put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    Put32(f, 16);
    Put16(f, 1);
    Put16(f, uint16_t(channels));
    Put32(f, uint32_t(sampleRate));
    Put32(f, uint32_t(sampleRate * channels * 2));
    Put16(f, uint16_t(channels * 2));
    Put16(f, 16);
    std::fwrite("data", 1, 4, f);
    Put32(f, dataBytes);
    std::vector<int16_t> pcm(interleaved.size());
    for (size_t i = 0; i < interleaved.size(); ++i) {
        const float s = std::max(-1.0f, std::min(1.0f, interleaved[i]));
        pcm[i] = int16_t(std::lrint(s * 32767.0f));
    }
    // WAV is little-endian, as is every machine this runs on.
    const bool ok = std::fwrite(pcm.data(), 2, pcm.size(), f) == pcm.size() && std::fflush(f) == 0;
    if (!ok) error = "write failed: " + path;
    return ok;
}
