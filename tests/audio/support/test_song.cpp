// Test song synthesis and Vorbis encoding (libvorbisenc, one logical stream).
#include "tests/audio/support/test_song.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vorbis/vorbisenc.h>

std::vector<int16_t> SynthesizeSong(int channels, long rate, double seconds) {
    const double pi = 3.14159265358979323846;
    size_t frames = size_t(seconds * double(rate));
    std::vector<int16_t> out(frames * size_t(channels));
    for (int c = 0; c < channels; ++c) {
        double f0 = 220.0 * (c + 1);
        double f1 = 1800.0 / (c + 1);
        double phase = 0;
        for (size_t i = 0; i < frames; ++i) {
            double t = double(i) / double(rate);
            double f = f0 + (f1 - f0) * t / seconds;
            phase += 2.0 * pi * f / double(rate);
            double envelope = 0.6 + 0.4 * std::sin(2.0 * pi * (0.7 + 0.3 * c) * t);
            double v = 0.45 * envelope * std::sin(phase + c);
            out[i * size_t(channels) + size_t(c)] = int16_t(std::lrint(v * 32767.0));
        }
    }
    return out;
}

bool EncodeOggFile(const std::string& path, const std::vector<int16_t>& interleaved, int channels, long rate,
                   float quality) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;

    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        std::fclose(file);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 12345);

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) {
        std::fwrite(page.header, 1, size_t(page.header_len), file);
        std::fwrite(page.body, 1, size_t(page.body_len), file);
    }

    size_t frames = interleaved.size() / size_t(channels);
    const size_t chunk = 4096;
    size_t pos = 0;
    bool finished = false;
    while (!finished) {
        size_t n = frames - pos < chunk ? frames - pos : chunk;
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = float(interleaved[(pos + i) * size_t(channels) + size_t(c)]) / 32768.0f;
            vorbis_analysis_wrote(&dsp, int(n));
            pos += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    std::fwrite(page.header, 1, size_t(page.header_len), file);
                    std::fwrite(page.body, 1, size_t(page.body_len), file);
                    if (ogg_page_eos(&page)) finished = true;
                }
            }
        }
        if (n == 0) finished = true;
    }
    while (ogg_stream_flush(&stream, &page) != 0) {
        std::fwrite(page.header, 1, size_t(page.header_len), file);
        std::fwrite(page.body, 1, size_t(page.body_len), file);
    }

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(file) == 0;
}

bool MakeTestSong(const std::string& path, int channels, long rate, double seconds) {
    return EncodeOggFile(path, SynthesizeSong(channels, rate, seconds), channels, rate);
}
