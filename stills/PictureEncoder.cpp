// PictureEncoder: TurboJPEG reads the rows bottom-up itself (and leaves
// alpha out); PNG is the capture's own frame writer.
#include "stills/PictureEncoder.h"

#include <turbojpeg.h>

#include "capture/PngFrameSink.h"

namespace {
constexpr int kJpegQuality = 90;
}

bool EncodeJpeg(const std::vector<uint8_t>& rgba, int width, int height, std::string* jpeg, std::string* error) {
    if (width <= 0 || height <= 0 || rgba.size() != size_t(width) * size_t(height) * 4) {
        *error = "no picture to encode";
        return false;
    }
    tjhandle encoder = tjInitCompress();
    if (!encoder) {
        *error = "the JPEG encoder could not start";
        return false;
    }
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const bool ok = tjCompress2(encoder, rgba.data(), width, width * 4, height, TJPF_RGBA, &out, &size, TJSAMP_420,
                                kJpegQuality, TJFLAG_BOTTOMUP) == 0;
    if (ok)
        jpeg->assign(reinterpret_cast<const char*>(out), size);
    else
        *error = std::string("JPEG: ") + tjGetErrorStr2(encoder);
    tjFree(out);
    tjDestroy(encoder);
    return ok;
}

bool EncodePng(const std::vector<uint8_t>& rgba, int width, int height, std::string* png, std::string* error) {
    if (width <= 0 || height <= 0 || rgba.size() != size_t(width) * size_t(height) * 4) {
        *error = "no picture to encode";
        return false;
    }
    if (!PngFrameSink::EncodePicture(rgba.data(), width, height, png)) {
        *error = "the PNG could not be encoded";
        return false;
    }
    return true;
}
