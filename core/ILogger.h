// ILogger: the one log of a run. Callers pass 8-bit text; the file holds
// UTF-16 little-endian text. Reached process-wide through gLogger.
#pragma once

class ILogger {
public:
    virtual ~ILogger() {}
    virtual bool Open() = 0;
    virtual void Close() = 0;
    // A label ending in ": " and a value, then the line end.
    virtual void WritePair(const char* first, const char* second) = 0;
    virtual void WriteLine(const char* text) = 0;
    virtual void WriteTimestamp() = 0;
    virtual void WriteDebug(const char* text) = 0;
    // "ERROR: " and the text, then the line end.
    virtual void WriteError(const char* text) = 0;
    virtual void WriteWide(const char16_t* text) = 0;
};

// Set once the log file is open; never owning, never cleared.
extern ILogger* gLogger;
