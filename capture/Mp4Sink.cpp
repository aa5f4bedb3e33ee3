// H.264 + AAC in MP4 through libavformat/libavcodec, after FFmpeg's
// encode_video and mux examples: frames go to the encoders, every packet the
// encoders return is rescaled to its stream's time base and interleaved into
// the file. RGBA rows arrive bottom-up and are converted to yuv420p (BT.709,
// limited range, 2x2 chroma means) by RgbaToYuv420; s16 sound is converted to
// the AAC encoder's planar float by libswresample in frame_size chunks, the
// last one padded.
// The muxer writes through our own I/O callbacks into an output file, so the
// video appears under its name only when complete.
#include "capture/Mp4Sink.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

#include "capture/RgbaToYuv420.h"
#include "capture/SinkWorker.h"
#include "platform/OutputFile.h"

namespace {

std::string AvError(const char* what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return std::string(what) + ": " + text;
}

// Sample frames of sound that belong with the first `pictures` frames,
// rounded down so the sound never outlasts the pictures.
int64_t SoundFor(long long pictures, int sampleRate, int fps) {
    return static_cast<int64_t>(pictures) * sampleRate / fps;
}

constexpr int kIoBufferBytes = 1 << 16;

int WritePacket(void* opaque, uint8_t* data, int size) {
    return static_cast<platform::OutputFile*>(opaque)->Write(data, static_cast<size_t>(size)) ? size : AVERROR(EIO);
}

int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<platform::OutputFile*>(opaque);
    if (whence & AVSEEK_SIZE) return file->Size();
    const int64_t position = file->Seek(offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(EIO) : position;
}

}  // namespace

struct Mp4Sink::Encoder {
    AVFormatContext* muxer = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwrContext* resampler = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    StreamFormat format;
    int64_t nextPicture = 0;
    int64_t soundSent = 0;  // sample frames handed to the AAC encoder
    int64_t soundEnd = std::numeric_limits<int64_t>::max();
    std::vector<int16_t> pendingSound;  // interleaved, not yet a full AAC frame
    platform::OutputFile* file = nullptr;

    ~Encoder() {
        av_packet_free(&packet);
        av_frame_free(&picture);
        av_frame_free(&sound);
        swr_free(&resampler);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (muxer) {
            FreeIo();
            avformat_free_context(muxer);
        }
    }

    void FreeIo() {
        if (!muxer->pb) return;
        av_freep(&muxer->pb->buffer);
        avio_context_free(&muxer->pb);
    }

    // The output file's own message ("PATH: No space left on device") when a
    // write failed there, else FFmpeg's.
    std::string WriteError(const char* what, int code) const {
        return file && !file->Error().empty() ? file->Error() : AvError(what, code);
    }

    bool OpenVideo(const Mp4Settings& settings, std::string* error) {
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        if (!codec) {
            *error = "this FFmpeg has no libx264 encoder";
            return false;
        }
        videoStream = avformat_new_stream(muxer, nullptr);
        video = avcodec_alloc_context3(codec);
        if (!videoStream || !video) {
            *error = "out of memory setting up the video encoder";
            return false;
        }
        video->width = format.width;
        video->height = format.height;
        video->time_base = AVRational{1, format.fps};
        video->framerate = AVRational{format.fps, 1};
        video->pix_fmt = AV_PIX_FMT_YUV420P;
        video->gop_size = 2 * format.fps;
        video->color_range = AVCOL_RANGE_MPEG;
        video->colorspace = AVCOL_SPC_BT709;
        video->color_primaries = AVCOL_PRI_BT709;
        video->color_trc = AVCOL_TRC_BT709;
        video->thread_count = settings.encoderThreads;
        video->thread_type = FF_THREAD_FRAME;
        if (muxer->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set(video->priv_data, "preset", settings.preset.c_str(), 0);
        av_opt_set(video->priv_data, "crf", std::to_string(settings.crf).c_str(), 0);
        if (!settings.x264Params.empty()) av_opt_set(video->priv_data, "x264-params", settings.x264Params.c_str(), 0);
        int result = avcodec_open2(video, codec, nullptr);
        if (result < 0) {
            *error = AvError("cannot open the H.264 encoder", result);
            return false;
        }
        videoStream->time_base = video->time_base;
        videoStream->avg_frame_rate = video->framerate;
        avcodec_parameters_from_context(videoStream->codecpar, video);

        picture = av_frame_alloc();
        if (!picture) return OutOfMemory(error);
        picture->format = video->pix_fmt;
        picture->width = format.width;
        picture->height = format.height;
        if ((result = av_frame_get_buffer(picture, 0)) < 0) {
            *error = AvError("cannot allocate a picture", result);
            return false;
        }
        return true;
    }

    bool OpenAudio(const Mp4Settings& settings, std::string* error) {
        const AVCodec* codec = avcodec_find_encoder_by_name("aac");
        if (!codec) {
            *error = "this FFmpeg has no aac encoder";
            return false;
        }
        audioStream = avformat_new_stream(muxer, nullptr);
        audio = avcodec_alloc_context3(codec);
        if (!audioStream || !audio) return OutOfMemory(error);
        audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
        audio->sample_rate = format.sampleRate;
        av_channel_layout_default(&audio->ch_layout, format.channels);
        audio->bit_rate = settings.audioBitRate;
        audio->time_base = AVRational{1, format.sampleRate};
        if (muxer->oformat->flags & AVFMT_GLOBALHEADER) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int result = avcodec_open2(audio, codec, nullptr);
        if (result < 0) {
            *error = AvError("cannot open the AAC encoder", result);
            return false;
        }
        audioStream->time_base = audio->time_base;
        avcodec_parameters_from_context(audioStream->codecpar, audio);

        result = swr_alloc_set_opts2(&resampler, &audio->ch_layout, AV_SAMPLE_FMT_FLTP, format.sampleRate,
                                     &audio->ch_layout, AV_SAMPLE_FMT_S16, format.sampleRate, 0, nullptr);
        if (result < 0 || (result = swr_init(resampler)) < 0) {
            *error = AvError("cannot set up the sound conversion", result);
            return false;
        }
        sound = av_frame_alloc();
        if (!sound) return OutOfMemory(error);
        sound->format = AV_SAMPLE_FMT_FLTP;
        sound->sample_rate = format.sampleRate;
        sound->nb_samples = audio->frame_size;
        av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout);
        if ((result = av_frame_get_buffer(sound, 0)) < 0) {
            *error = AvError("cannot allocate a sound frame", result);
            return false;
        }
        return true;
    }

    bool Open(platform::OutputFile* output, const StreamFormat& wanted, const Mp4Settings& settings,
              std::string* error) {
        file = output;
        format = wanted;
        int result = avformat_alloc_output_context2(&muxer, nullptr, "mp4", nullptr);
        if (result < 0) {
            *error = AvError("cannot set up the MP4 writer", result);
            return false;
        }
        packet = av_packet_alloc();
        if (!packet) return OutOfMemory(error);
        if (!OpenVideo(settings, error)) return false;
        if (format.sampleRate > 0 && format.channels > 0 && !OpenAudio(settings, error)) return false;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
        muxer->pb = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, file, nullptr, WritePacket, SeekPacket)
                           : nullptr;
        if (!muxer->pb) {
            av_free(buffer);
            return OutOfMemory(error);
        }
        muxer->flags |= AVFMT_FLAG_CUSTOM_IO;
        // A movie time scale both frame and sample times divide, so the edit
        // lists and the file's duration are exact rather than in milliseconds.
        const int64_t scale = std::lcm<int64_t>(format.fps, audio ? format.sampleRate : 1000);
        AVDictionary* options = nullptr;
        av_dict_set_int(&options, "movie_timescale", scale <= 10000000 ? scale : 1000, 0);
        result = avformat_write_header(muxer, &options);
        av_dict_free(&options);
        if (result < 0) {
            *error = WriteError("cannot write the MP4 header", result);
            return false;
        }
        return true;
    }

    static bool OutOfMemory(std::string* error) {
        *error = "out of memory setting up the encoders";
        return false;
    }

    // Sends one frame (null flushes) and writes every packet the encoder has ready.
    bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string* error) {
        int result = avcodec_send_frame(codec, frame);
        if (result < 0) {
            *error = AvError(codec == video ? "H.264 encoding failed" : "AAC encoding failed", result);
            return false;
        }
        for (;;) {
            result = avcodec_receive_packet(codec, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) {
                *error = AvError(codec == video ? "H.264 encoding failed" : "AAC encoding failed", result);
                return false;
            }
            if (codec == video) {
                if (packet->duration == 0) packet->duration = 1;
            } else if (packet->pts != AV_NOPTS_VALUE && packet->pts + packet->duration > soundEnd) {
                // The padding of the last AAC frame is not part of the show.
                packet->duration = soundEnd - packet->pts;
                if (packet->duration <= 0) {
                    av_packet_unref(packet);
                    continue;
                }
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            result = av_interleaved_write_frame(muxer, packet);
            if (result < 0) {
                *error = WriteError("cannot write to the video file", result);
                return false;
            }
        }
    }

    bool EncodePicture(const uint8_t* rgba, std::string* error) {
        int result = av_frame_make_writable(picture);
        if (result < 0) {
            *error = AvError("cannot allocate a picture", result);
            return false;
        }
        // Starting at the last row with a negative stride turns bottom-up rows top-down.
        const ptrdiff_t stride = static_cast<ptrdiff_t>(format.width) * 4;
        RgbaToYuv420(rgba + (format.height - 1) * stride, -stride, format.width, format.height, picture->data,
                     picture->linesize);
        picture->pts = nextPicture++;
        return Encode(video, videoStream, picture, error);
    }

    // Encodes whole AAC frames of the pending sound while they end at or before `limit`.
    bool EncodeSound(int64_t limit, std::string* error) {
        const int size = audio->frame_size;
        const size_t chunk = static_cast<size_t>(size) * format.channels;
        size_t used = 0;
        while (pendingSound.size() - used >= chunk && soundSent + size <= limit) {
            int result = av_frame_make_writable(sound);
            if (result < 0) {
                *error = AvError("cannot allocate a sound frame", result);
                return false;
            }
            const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(pendingSound.data() + used)};
            result = swr_convert(resampler, sound->data, size, source, size);
            if (result != size) {
                *error = AvError("sound conversion failed", result < 0 ? result : AVERROR_BUG);
                return false;
            }
            sound->pts = soundSent;
            soundSent += size;
            used += chunk;
            if (!Encode(audio, audioStream, sound, error)) return false;
        }
        pendingSound.erase(pendingSound.begin(), pendingSound.begin() + used);
        return true;
    }

    // Completes the sound to `soundFrames`, flushes both encoders and closes the file.
    bool Finish(int64_t soundFrames, std::string* error) {
        if (audio) {
            // Missing sound becomes silence; sound past the last picture is dropped.
            pendingSound.resize(static_cast<size_t>(soundFrames - soundSent) * format.channels, 0);
            // Pad the last chunk to a whole AAC frame; the packet durations cut it off again.
            const size_t chunk = static_cast<size_t>(audio->frame_size) * format.channels;
            if (pendingSound.size() % chunk) pendingSound.resize((pendingSound.size() / chunk + 1) * chunk, 0);
            soundEnd = soundFrames;
            if (!EncodeSound(std::numeric_limits<int64_t>::max(), error)) return false;
            if (!Encode(audio, audioStream, nullptr, error)) return false;
        }
        if (!Encode(video, videoStream, nullptr, error)) return false;
        int result = av_write_trailer(muxer);
        if (result >= 0) {
            avio_flush(muxer->pb);
            result = muxer->pb->error;
        }
        FreeIo();
        if (result < 0) {
            *error = WriteError("cannot finish the video file", result);
            return false;
        }
        return true;
    }
};

Mp4Sink::Mp4Sink(std::string path, Mp4Settings settings) : path(std::move(path)), settings(std::move(settings)) {}

Mp4Sink::~Mp4Sink() { Abort(); }

bool Mp4Sink::Open(const StreamFormat& wanted, std::string* error) {
    Abort();
    if (wanted.width <= 0 || wanted.height <= 0 || wanted.fps <= 0 || wanted.width % 2 || wanted.height % 2) {
        *error = "the video needs a positive even width and height and a positive frame rate, not " +
                 std::to_string(wanted.width) + " x " + std::to_string(wanted.height) + " at " +
                 std::to_string(wanted.fps) + " fps";
        return false;
    }
    if (wanted.channels < 0 || wanted.channels > 8 || wanted.sampleRate < 0) {
        *error = "unsupported sound format: " + std::to_string(wanted.channels) + " channels at " +
                 std::to_string(wanted.sampleRate) + " Hz";
        return false;
    }
    // The encoders' statistics would garble the capture's progress line; errors still show.
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
    format = wanted;
    if (format.sampleRate == 0 || format.channels == 0) format.sampleRate = format.channels = 0;
    if (!file.Open(path, error)) return false;
    encoder = std::make_unique<Encoder>();
    if (!encoder->Open(&file, format, settings, error)) {
        Abort();
        return false;
    }
    // With sound each frame is a picture job and a sound job.
    const size_t jobsPerFrame = format.channels ? 2 : 1;
    worker = std::make_unique<SinkWorker>(jobsPerFrame * static_cast<size_t>(std::max(1, settings.queuedFrames)));
    videoFrames = 0;
    audioFramesQueued = 0;
    open = true;
    return true;
}

bool Mp4Sink::WriteVideo(const uint8_t* rgba) {
    if (!open || !rgba) return false;
    FrameBufferPool::Buffer copy = buffers.Take(static_cast<size_t>(format.width) * format.height * 4);
    std::memcpy(copy->data(), rgba, copy->size());
    Encoder* target = encoder.get();
    FrameBufferPool* pool = &buffers;
    const bool posted = worker->Post([target, pool, copy](std::string* error) {
        const bool ok = target->EncodePicture(copy->data(), error);
        pool->Give(copy);
        return ok;
    });
    if (posted) ++videoFrames;
    return posted;
}

bool Mp4Sink::WriteAudio(const int16_t* samples, int frames) {
    if (!open || frames < 0) return false;
    if (frames == 0 || format.channels == 0) return true;
    if (!samples) return false;
    const int64_t limit = SoundFor(videoFrames, format.sampleRate, format.fps);
    if (audioFramesQueued + frames > limit + format.sampleRate) {
        worker->Post([](std::string* error) {
            *error = "the sound runs more than a second ahead of the pictures";
            return false;
        });
        return false;
    }
    audioFramesQueued += frames;
    std::vector<int16_t> copy(samples, samples + static_cast<size_t>(frames) * format.channels);
    Encoder* target = encoder.get();
    return worker->Post([target, limit, copy = std::move(copy)](std::string* error) {
        target->pendingSound.insert(target->pendingSound.end(), copy.begin(), copy.end());
        return target->EncodeSound(limit, error);
    });
}

bool Mp4Sink::Finish(std::string* error) {
    if (!open) {
        *error = "the video file is not open";
        return false;
    }
    bool ok = worker->Drain(error);
    if (ok && videoFrames == 0) {
        *error = "no frames were written";
        ok = false;
    }
    ok = ok && encoder->Finish(SoundFor(videoFrames, format.sampleRate, format.fps), error);
    // The encoder goes first: its I/O context writes into the file.
    worker->Stop();
    worker.reset();
    encoder.reset();
    ok = ok && file.Commit(error);
    Abort();
    return ok;
}

void Mp4Sink::Abort() {
    if (worker) worker->Stop();
    worker.reset();
    encoder.reset();
    file.Discard();
    open = false;
}

double Mp4Sink::SecondsWaited() const { return worker ? worker->SecondsWaited() : 0.0; }

std::string Mp4Sink::RefusalReason() {
    std::string reason;
    if (worker) worker->Drain(&reason);
    return reason;
}
