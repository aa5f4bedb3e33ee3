// A recording logger installed as gLogger for the lifetime of the object.
#pragma once

#include "tests/support/recording_logger.h"

class CaptureLogger final : public testsupport::RecordingLogger {
public:
    CaptureLogger() { gLogger = this; }
    ~CaptureLogger() override { gLogger = nullptr; }
};
