// CaptureLogger: the capture's log, ./CaptureLog.txt as UTF-8 with LF line
// ends, so a capture never overwrites the player's LogFile.txt. Error lines
// also go to standard error, where the person running the capture sees them.
#pragma once

#include <cstdio>
#include <string>

#include "core/ILogger.h"

class CaptureLogger final : public ILogger {
public:
    explicit CaptureLogger(std::string path = "CaptureLog.txt") : path(std::move(path)) {}
    ~CaptureLogger() override { Close(); }

    bool Open() override;
    void Close() override;
    void WritePair(const char* first, const char* second) override;
    void WriteLine(const char* text) override;
    void WriteTimestamp() override;
    void WriteDebug(const char* text) override;
    void WriteError(const char* text) override;
    void WriteWide(const char16_t* text) override;

private:
    void Write(const std::string& line);

    std::string path;
    std::FILE* file = nullptr;
};
