// The frame sink the command line asks for: a folder of PNG frames with
// --frames, else the MP4 video at --out.
#pragma once

#include <memory>
#include <string>

#include "capture/CaptureOptions.h"
#include "capture/FrameSink.h"

std::unique_ptr<IFrameSink> MakeFrameSink(const CaptureOptions& options);
// Where the output goes, for messages and the closing summary.
const std::string& OutputPath(const CaptureOptions& options);
