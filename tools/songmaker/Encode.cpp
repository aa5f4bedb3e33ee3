// Encode: Ogg Vorbis through libvorbisenc's VBR mode, and plain RIFF WAV.
// Both go through an output file, so a song appears under its name only
// when complete and a failed write leaves the previous one.
#include "Encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>

#include "platform/OutputFile.h"

namespace {

bool WritePage(platform::OutputFile& file, const ogg_page& page) {
    return file.Write(page.header, size_t(page.header_len)) && file.Write(page.body, size_t(page.body_len));
}

}  // namespace

bool WriteOggVorbis(const std::string& path, const std::vector<float>& interleaved, int channels,
                    int sampleRate, const OggSettings& settings, std::string& error) {
    if (channels < 1 || sampleRate <= 0) {
        error = "bad channel count or sample rate";
        return false;
    }
    platform::OutputFile file;
    if (!file.Open(path, &error)) return false;
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
    while (ok && ogg_stream_flush(&os, &page) != 0) ok = WritePage(file, page);

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
                    ok = WritePage(file, page);
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
    return file.Commit(&error);
}

namespace {
void Put16(std::string& out, uint16_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, uint16_t(v));
    Put16(out, uint16_t(v >> 16));
}
}  // namespace

bool WriteWav16(const std::string& path, const std::vector<float>& interleaved, int channels,
                int sampleRate, std::string& error) {
    if (channels < 1 || sampleRate <= 0 || interleaved.size() * 2 > 0xFFFFFFFFu - 36) {
        error = "bad channel count or sample rate, or too long for WAV";
        return false;
    }
    const uint32_t dataBytes = uint32_t(interleaved.size() * 2);
    std::string header;
    header += "RIFF";
    Put32(header, 36 + dataBytes);
    header += "WAVEfmt ";
    Put32(header, 16);
    Put16(header, 1);
    Put16(header, uint16_t(channels));
    Put32(header, uint32_t(sampleRate));
    Put32(header, uint32_t(sampleRate * channels * 2));
    Put16(header, uint16_t(channels * 2));
    Put16(header, 16);
    header += "data";
    Put32(header, dataBytes);
    std::vector<int16_t> pcm(interleaved.size());
    for (size_t i = 0; i < interleaved.size(); ++i) {
        const float s = std::max(-1.0f, std::min(1.0f, interleaved[i]));
        pcm[i] = int16_t(std::lrint(s * 32767.0f));
    }
    platform::OutputFile file;
    if (!file.Open(path, &error)) return false;
    // WAV is little-endian, as is every machine this runs on.
    file.Write(header.data(), header.size());
    file.Write(pcm.data(), pcm.size() * 2);
    return file.Commit(&error);
}
