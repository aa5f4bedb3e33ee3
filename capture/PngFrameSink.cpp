// One PNG per captured frame, compressed in memory with stb_image_write (its
// code comes from Debian's libstb, so no file here defines the
// implementation) and written into a hidden folder inside the target folder
// through the output helper; Finish moves them all into place.
#include "capture/PngFrameSink.h"

#include <stb_image_write.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "capture/SinkWorker.h"

PngFrameSink::PngFrameSink(std::string folder, int queuedFrames)
    : folder(std::move(folder)), queuedFrames(queuedFrames) {}

PngFrameSink::~PngFrameSink() { Abort(); }

std::string PngFrameSink::FrameName(long long index) {
    char name[40];
    std::snprintf(name, sizeof name, "frame_%06lld.png", index);
    return name;
}

bool PngFrameSink::Open(const StreamFormat& wanted, std::string* error) {
    Abort();
    if (wanted.width <= 0 || wanted.height <= 0) {
        *error = "the frames need a positive width and height, not " + std::to_string(wanted.width) + " x " +
                 std::to_string(wanted.height);
        return false;
    }
    format = wanted;
    std::error_code failure;
    createdFolder = std::filesystem::create_directories(folder, failure);
    if (failure || !std::filesystem::is_directory(folder, failure)) {
        *error = "cannot make the folder '" + folder + "'" + (failure ? ": " + failure.message() : "");
        return false;
    }
    // Finds out now, not at the first frame, whether the folder takes files.
    if (!staging.OpenForAdding(folder, error)) {
        Abort();
        return false;
    }
    worker = std::make_unique<SinkWorker>(static_cast<size_t>(queuedFrames));
    framesPosted = 0;
    open = true;
    return true;
}

bool PngFrameSink::EncodePicture(const uint8_t* rgba, int width, int height, std::string* png) {
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    std::vector<uint8_t> rgb(w * h * 3);
    for (size_t row = 0; row < h; ++row) {
        const uint8_t* source = rgba + (h - 1 - row) * w * 4;
        uint8_t* target = rgb.data() + row * w * 3;
        for (size_t x = 0; x < w; ++x) {
            std::memcpy(target + x * 3, source + x * 4, 3);
        }
    }
    png->clear();
    const auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
    };
    return stbi_write_png_to_func(append, png, width, height, 3, rgb.data(), static_cast<int>(w * 3)) != 0;
}

bool PngFrameSink::WritePicture(const uint8_t* rgba, long long index, std::string* error) {
    const std::string name = FrameName(index);
    std::string png;
    if (!EncodePicture(rgba, format.width, format.height, &png)) {
        *error = (std::filesystem::path(folder) / name).string() + ": the picture could not be encoded";
        return false;
    }
    if (!platform::WriteFileAtomically(staging.TemporaryPath() + "/" + name, png, error)) {
        // Named as the frame the reader asked for; the staging folder means nothing to them.
        const size_t reason = error->rfind(": ");
        *error = (std::filesystem::path(folder) / name).string() + (reason == std::string::npos ? "" : error->substr(reason));
        return false;
    }
    return true;
}

bool PngFrameSink::WriteVideo(const uint8_t* rgba) {
    if (!open || !rgba) return false;
    FrameBufferPool::Buffer copy = buffers.Take(static_cast<size_t>(format.width) * format.height * 4);
    std::memcpy(copy->data(), rgba, copy->size());
    const long long index = framesPosted;
    const bool posted = worker->Post([this, copy, index](std::string* error) {
        const bool ok = WritePicture(copy->data(), index, error);
        buffers.Give(copy);
        return ok;
    });
    if (posted) ++framesPosted;
    return posted;
}

bool PngFrameSink::WriteAudio(const int16_t*, int frames) { return open && frames >= 0; }

bool PngFrameSink::Finish(std::string* error) {
    if (!open) {
        *error = "the frame folder is not open";
        return false;
    }
    bool ok = worker->Drain(error);
    if (ok && framesPosted == 0) {
        *error = "no frames were written";
        ok = false;
    }
    worker.reset();
    if (!ok || !staging.Commit(error)) {
        Abort();
        return false;
    }
    createdFolder = false;
    open = false;
    return true;
}

void PngFrameSink::Abort() {
    if (worker) {
        worker->Stop();
        worker.reset();
    }
    staging.Discard();
    if (createdFolder) {
        std::error_code ignored;
        if (std::filesystem::is_empty(folder, ignored)) std::filesystem::remove(folder, ignored);
        createdFolder = false;
    }
    open = false;
}

std::string PngFrameSink::RefusalReason() {
    std::string reason;
    if (worker) worker->Drain(&reason);
    return reason;
}
