// DemoRebuild: a fresh TestDemo started under a logger that also keeps the
// error lines, then swapped for the engine's.
#include "author/DemoRebuild.h"

#include <string>

#include "core/Engine.h"
#include "core/ILogger.h"
#include "core/Log.h"
#include "demo/IEffect.h"
#include "demo/TestDemo.h"

namespace {

// Passes every line on and keeps the error lines (and the compiler logs,
// which come as "ERROR: ..." pairs).
class ErrorKeepingLogger final : public ILogger {
public:
    explicit ErrorKeepingLogger(ILogger* log) : log(log) {}
    bool Open() override { return true; }
    void Close() override {}
    void WritePair(const char* first, const char* second) override {
        if (log) log->WritePair(first, second);
        const std::string label = first ? first : "";
        if (label.compare(0, 7, "ERROR: ") == 0) Keep(label.substr(7) + (second ? second : ""));
    }
    void WriteLine(const char* text) override {
        if (log) log->WriteLine(text);
    }
    void WriteTimestamp() override {
        if (log) log->WriteTimestamp();
    }
    void WriteDebug(const char* text) override {
        if (log) log->WriteDebug(text);
    }
    void WriteError(const char* text) override {
        if (log) log->WriteError(text);
        Keep(text ? text : "");
    }
    void WriteWide(const char16_t* text) override {
        if (log) log->WriteWide(text);
    }

    std::string kept;

private:
    void Keep(const std::string& line) { kept += (kept.empty() ? "" : "\n") + line; }
    ILogger* log;
};

}  // namespace

bool RebuildDemo(Engine& engine, std::string* log) {
    auto* running = static_cast<TestDemo*>(engine.demo);
    ILogger* engineLog = gLogger;
    ErrorKeepingLogger keeper(engineLog);
    gLogger = &keeper;
    auto* fresh = new TestDemo;
    const bool started = fresh->Init();
    if (!started || (running && fresh->effects.size() != running->effects.size())) {
        fresh->Shutdown();
        delete fresh;
        gLogger = engineLog;
        *log = keeper.kept.empty() ? "the demo could not start" : keeper.kept;
        return false;
    }
    if (running) {
        for (size_t i = 0; i < fresh->effects.size(); ++i) fresh->effects[i]->time = running->effects[i]->time;
        fresh->lastEffectTime = running->lastEffectTime;
        running->Shutdown();
        delete running;
    }
    gLogger = engineLog;
    engine.demo = fresh;
    return true;
}
