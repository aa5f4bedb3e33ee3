// A UTF-8 log file whose errors are echoed to standard error.
#include "core/TextLogger.h"

#include <ctime>

#include "platform/platform.h"

bool TextLogger::Open() {
    file = std::fopen(path.c_str(), "w");
    return true;
}

void TextLogger::Close() {
    if (file) std::fclose(file);
    file = nullptr;
}

void TextLogger::Write(const std::string& line) {
    if (!file) return;
    std::fputs(line.c_str(), file);
    std::fputc('\n', file);
    std::fflush(file);
}

void TextLogger::WritePair(const char* first, const char* second) {
    Write(std::string(first ? first : "") + (second ? second : ""));
}

void TextLogger::WriteLine(const char* text) { Write(text ? text : ""); }

void TextLogger::WriteTimestamp() {
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    char16_t wide[26] = {};
    if (!platform::FormatAsctime(&now, wide)) return;
    std::string text;
    for (int i = 0; i < 26 && wide[i] && wide[i] != u'\n'; ++i) text += static_cast<char>(wide[i]);
    Write(text);
}

void TextLogger::WriteDebug(const char* text) { Write(std::string("DEBUG: ") + (text ? text : "")); }

void TextLogger::WriteError(const char* text) {
    const std::string line = std::string("ERROR: ") + (text ? text : "");
    Write(line);
    std::fprintf(stderr, "%s: %s\n", program.c_str(), line.c_str());
}

void TextLogger::WriteWide(const char16_t* text) {
    std::string line;
    for (const char16_t* at = text; at && *at; ++at) line += *at < 0x80 ? static_cast<char>(*at) : '?';
    Write(line);
}
