// DemoRebuild: new shader programs for the running show. The demo's parts
// cache their uniform locations when they start, so the whole demo is built
// and started afresh (every program compiled from the current sources) and
// swapped in between two frames; each effect keeps its clock and the demo
// its last written clock value. When a part fails to start, the new demo is
// dropped and the running one stays, and the compiler's log is the result.
#pragma once

#include <string>

class Engine;

// Rebuilds the engine's demo as above; false with the log lines of the
// failure in *log.
bool RebuildDemo(Engine& engine, std::string* log);
