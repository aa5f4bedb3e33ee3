// A logger that keeps its lines in memory, installed as gLogger for the
// lifetime of the object.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "core/ILogger.h"

class CaptureLogger final : public ILogger {
public:
    CaptureLogger() { gLogger = this; }
    ~CaptureLogger() override { gLogger = nullptr; }
    bool Open() override { return true; }
    void Close() override {}
    void WritePair(const char* first, const char* second) override { lines.push_back(std::string(first) + second); }
    void WriteLine(const char* text) override { lines.push_back(text); }
    void WriteTimestamp() override {}
    void WriteDebug(const char* text) override { lines.push_back(text); }
    void WriteError(const char* text) override { lines.push_back(std::string("ERROR: ") + text); }
    void WriteWide(const char16_t*) override {}

    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    std::vector<std::string> lines;
};
