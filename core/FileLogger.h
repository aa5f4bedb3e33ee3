// FileLogger: writes ./LogFile.txt as UTF-16 little-endian without a
// byte-order mark, CR LF line ends, one write call per part, no buffering.
#pragma once

#include <cstdint>

#include "core/ILogger.h"
#include "platform/platform.h"

class FileLogger : public ILogger {
public:
    FileLogger(const char16_t* lineEnd, const char16_t* debugPrefix, const char16_t* errorPrefix);

    bool Open() override;
    void Close() override;
    void WritePair(const char* first, const char* second) override;
    void WriteLine(const char* text) override;
    void WriteTimestamp() override;
    void WriteDebug(const char* text) override;
    void WriteError(const char* text) override;
    void WriteWide(const char16_t* text) override;

private:
    const char16_t* lineEnd;
    const char16_t* debugPrefix;
    const char16_t* errorPrefix;
    platform::FileHandle file = nullptr;
    uint32_t bytesWritten = 0;
    int64_t currentTime = 0;
};
