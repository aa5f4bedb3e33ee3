// A logger for tests that keeps each line in memory as the log file would
// hold it (errors with their "ERROR: " prefix; timestamps and wide text are
// not kept).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "core/ILogger.h"

namespace testsupport {

class RecordingLogger : public ILogger {
public:
    bool Open() override { return true; }
    void Close() override {}
    void WritePair(const char* first, const char* second) override {
        lines.push_back(std::string(first ? first : "") + (second ? second : ""));
    }
    void WriteLine(const char* text) override { lines.push_back(text ? text : ""); }
    void WriteTimestamp() override {}
    void WriteDebug(const char* text) override { lines.push_back(text ? text : ""); }
    void WriteError(const char* text) override { lines.push_back(std::string("ERROR: ") + (text ? text : "")); }
    void WriteWide(const char16_t*) override {}

    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    std::vector<std::string> lines;
};

}  // namespace testsupport
