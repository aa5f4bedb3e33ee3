// Demux and decode with libavformat/libavcodec, as FFmpeg-based players do
// (the edit lists and skip-samples side data applied by the libraries).
#include "tests/capture/media_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <memory>

namespace {

struct Contexts {
    AVFormatContext* input = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    ~Contexts() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        avformat_close_input(&input);
    }
};

AVCodecContext* OpenDecoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!context) return nullptr;
    context->thread_count = 1;
    if (avcodec_parameters_to_context(context, stream->codecpar) < 0 || avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
    }
    return context;
}

double Seconds(int64_t value, AVRational base) {
    return value == AV_NOPTS_VALUE ? -1.0 : value * av_q2d(base);
}

void TakeFrames(AVCodecContext* decoder, AVFrame* frame, DecodedMedia* media) {
    while (avcodec_receive_frame(decoder, frame) == 0) {
        if (decoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            std::vector<uint8_t> plane(static_cast<size_t>(frame->width) * frame->height);
            for (int row = 0; row < frame->height; ++row) {
                const uint8_t* source = frame->data[0] + static_cast<ptrdiff_t>(row) * frame->linesize[0];
                std::copy(source, source + frame->width, plane.begin() + static_cast<ptrdiff_t>(row) * frame->width);
            }
            media->luma.push_back(std::move(plane));
        } else {
            const int channels = frame->ch_layout.nb_channels;
            for (int i = 0; i < frame->nb_samples; ++i) {
                for (int c = 0; c < channels; ++c) {
                    media->sound.push_back(reinterpret_cast<const float*>(frame->extended_data[c])[i]);
                }
            }
        }
        av_frame_unref(frame);
    }
}

}  // namespace

DecodedMedia ReadMedia(const std::string& path) {
    DecodedMedia media;
    Contexts contexts;
    if (avformat_open_input(&contexts.input, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(contexts.input, nullptr) < 0) {
        media.error = "cannot open " + path;
        return media;
    }
    media.fileDurationMicroseconds = contexts.input->duration;
    media.fileSeconds = contexts.input->duration / static_cast<double>(AV_TIME_BASE);
    int videoIndex = -1, audioIndex = -1;
    for (unsigned i = 0; i < contexts.input->nb_streams; ++i) {
        const AVStream* stream = contexts.input->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++media.videoStreams;
            videoIndex = static_cast<int>(i);
            media.videoCodec = avcodec_get_name(parameters->codec_id);
            const char* pixels = av_get_pix_fmt_name(static_cast<AVPixelFormat>(parameters->format));
            media.pixelFormat = pixels ? pixels : "";
            media.width = parameters->width;
            media.height = parameters->height;
            media.videoSeconds = Seconds(stream->duration, stream->time_base);
            media.videoStart = Seconds(stream->start_time, stream->time_base);
            contexts.video = OpenDecoder(stream);
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            ++media.audioStreams;
            audioIndex = static_cast<int>(i);
            media.audioCodec = avcodec_get_name(parameters->codec_id);
            media.sampleRate = parameters->sample_rate;
            media.channels = parameters->ch_layout.nb_channels;
            media.audioSeconds = Seconds(stream->duration, stream->time_base);
            media.audioStart = Seconds(stream->start_time, stream->time_base);
            contexts.audio = OpenDecoder(stream);
        }
    }
    if ((videoIndex >= 0 && !contexts.video) || (audioIndex >= 0 && !contexts.audio)) {
        media.error = "no decoder for a stream of " + path;
        return media;
    }
    while (av_read_frame(contexts.input, contexts.packet) >= 0) {
        AVCodecContext* decoder = nullptr;
        if (contexts.packet->stream_index == videoIndex) {
            ++media.videoPackets;
            media.videoPacketBytes.emplace_back(reinterpret_cast<const char*>(contexts.packet->data),
                                                contexts.packet->size);
            decoder = contexts.video;
        } else if (contexts.packet->stream_index == audioIndex) {
            decoder = contexts.audio;
        }
        if (decoder && avcodec_send_packet(decoder, contexts.packet) < 0) media.error = "decoding failed";
        av_packet_unref(contexts.packet);
        if (decoder) TakeFrames(decoder, contexts.frame, &media);
    }
    for (AVCodecContext* decoder : {contexts.video, contexts.audio}) {
        if (!decoder) continue;
        avcodec_send_packet(decoder, nullptr);
        TakeFrames(decoder, contexts.frame, &media);
    }
    return media;
}
