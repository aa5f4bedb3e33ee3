// The capture's UTF-8 log file, with its errors echoed to standard error.
#include "capture/CaptureLogger.h"

#include <ctime>

#include "platform/platform.h"

bool CaptureLogger::Open() {
    file = std::fopen(path.c_str(), "w");
    // Without a log file the capture still runs; errors still reach stderr.
    return true;
}

void CaptureLogger::Close() {
    if (file) std::fclose(file);
    file = nullptr;
}

void CaptureLogger::Write(const std::string& line) {
    if (!file) return;
    std::fputs(line.c_str(), file);
    std::fputc('\n', file);
    std::fflush(file);
}

void CaptureLogger::WritePair(const char* first, const char* second) {
    Write(std::string(first ? first : "") + (second ? second : ""));
}

void CaptureLogger::WriteLine(const char* text) { Write(text ? text : ""); }

void CaptureLogger::WriteTimestamp() {
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    char16_t wide[26] = {};
    if (!platform::FormatAsctime(&now, wide)) return;
    std::string text;
    for (int i = 0; i < 26 && wide[i] && wide[i] != u'\n'; ++i) text += static_cast<char>(wide[i]);
    Write(text);
}

void CaptureLogger::WriteDebug(const char* text) { Write(std::string("DEBUG: ") + (text ? text : "")); }

void CaptureLogger::WriteError(const char* text) {
    const std::string line = std::string("ERROR: ") + (text ? text : "");
    Write(line);
    std::fprintf(stderr, "tessel-capture: %s\n", line.c_str());
}

void CaptureLogger::WriteWide(const char16_t* text) {
    std::string line;
    for (const char16_t* at = text; at && *at; ++at) line += *at < 0x80 ? static_cast<char>(*at) : '?';
    Write(line);
}
