// Shorthands for writing to gLogger that do nothing while no log is open, so
// that every part can run (and be tested) before or without the engine's log.
#pragma once

#include "core/ILogger.h"

inline void LogLine(const char* text) {
    if (gLogger) gLogger->WriteLine(text);
}
inline void LogPair(const char* first, const char* second) {
    if (gLogger) gLogger->WritePair(first, second);
}
inline void LogError(const char* text) {
    if (gLogger) gLogger->WriteError(text);
}
