// Chooses the capture's frame sink from its options.
#include "capture/SinkForOptions.h"

#include "capture/Mp4Sink.h"
#include "capture/PngFrameSink.h"

std::unique_ptr<IFrameSink> MakeFrameSink(const CaptureOptions& options) {
    if (!options.framesDir.empty()) return std::make_unique<PngFrameSink>(options.framesDir);
    return std::make_unique<Mp4Sink>(options.out);
}

const std::string& OutputPath(const CaptureOptions& options) {
    return options.framesDir.empty() ? options.out : options.framesDir;
}
