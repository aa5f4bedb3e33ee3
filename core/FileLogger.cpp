// FileLogger: ./LogFile.txt as UTF-16 little-endian without a byte-order
// mark. Every part of a line is one write call as soon as it is known; a
// failed write is not repeated. When the file cannot be opened, one line on
// standard error says why, since the log itself cannot.
#include "core/FileLogger.h"

#include <cstdio>
#include <string>

#include "core/ToWide.h"

namespace {

size_t Units(const char16_t* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

}  // namespace

FileLogger::FileLogger(const char16_t* lineEnd, const char16_t* debugPrefix, const char16_t* errorPrefix)
    : lineEnd(lineEnd), debugPrefix(debugPrefix), errorPrefix(errorPrefix) {}

bool FileLogger::Open() {
    const char* reason = nullptr;
    file = platform::CreateExclusiveWriteFile("./LogFile.txt", &reason);
    if (!file) std::fprintf(stderr, "tessel: cannot open ./LogFile.txt: %s\n", reason ? reason : "unknown reason");
    return file != nullptr;
}

void FileLogger::Close() {
    platform::CloseFile(file);
    file = nullptr;
}

void FileLogger::WritePair(const char* first, const char* second) {
    ToWide wideFirst(first);
    ToWide wideSecond(second);
    WriteWide(wideFirst);
    WriteWide(wideSecond);
    WriteWide(lineEnd);
}

void FileLogger::WriteLine(const char* text) {
    WriteWide(ToWide(text));
    WriteWide(lineEnd);
}

void FileLogger::WriteTimestamp() {
    char16_t stamp[26];
    if (platform::FormatAsctime(&currentTime, stamp)) WriteWide(stamp);
    WriteWide(lineEnd);
}

void FileLogger::WriteDebug(const char* text) {
    WriteWide(debugPrefix);
    WriteWide(ToWide(text));
    WriteWide(lineEnd);
}

void FileLogger::WriteError(const char* text) {
    WriteWide(errorPrefix);
    WriteWide(ToWide(text));
    WriteWide(lineEnd);
}

void FileLogger::WriteWide(const char16_t* text) {
    if (!file || !text) return;
    size_t units = Units(text);
    // One write call takes at most 4 GiB; longer texts are not written.
    if (units == 0 || units > UINT32_MAX / 2) return;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    std::string bytes(units * 2, '\0');
    for (size_t i = 0; i < units; ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    platform::WriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &bytesWritten);
#else
    platform::WriteFile(file, text, static_cast<uint32_t>(units * 2), &bytesWritten);
#endif
}
