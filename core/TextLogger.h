// TextLogger: the log of a program other than the player, as UTF-8 text
// with LF line ends in a file of its own (CaptureLog.txt, AuthorLog.txt), so
// it never overwrites the player's LogFile.txt. Error lines also go to
// standard error, prefixed with the program's name, where the person running
// it sees them.
#pragma once

#include <cstdio>
#include <string>

#include "core/ILogger.h"

class TextLogger final : public ILogger {
public:
    TextLogger(std::string path, std::string program) : path(std::move(path)), program(std::move(program)) {}
    ~TextLogger() override { Close(); }

    // True even when the file cannot be made: errors still reach stderr.
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
    std::string program;
    std::FILE* file = nullptr;
};
