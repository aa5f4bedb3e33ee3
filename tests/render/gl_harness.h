// Shared set-up for renderer tests that need real OpenGL: one private Xvfb
// per test process, the real platform layer's windows, GLEW loaded on a
// bootstrap window as the engine does, and a logger that keeps its lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/ILogger.h"
#include "platform/platform.h"
#include "tests/support/scratch_dir.h"

// Collects what would go to the log, one string per line, as the file holds it.
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

    std::vector<std::string> lines;
};

namespace gltest {

// Starts the process's X server and loads GLEW once; false when either fails.
bool Ready();
// A new visible window of the test class with that client size; null on failure.
platform::WindowHandle NewWindow(int width, int height);

// Runs in a scratch folder holding the show's loading bar shaders under
// ./Shaders (or no Shaders folder at all), and returns to where it was after.
class ShowFolder {
public:
    explicit ShowFolder(bool withShaders = true);
    ~ShowFolder();
    const ScratchDir& dir() const { return scratch; }

private:
    ScratchDir scratch;
    std::string previous;
};

// What the X server shows on its screen, taken with ImageMagick's import:
// the test sees the window's content after a buffer swap, as a viewer would.
struct Screen {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // top row first
    // The pixel at (x, y) from the top-left corner as 0xRRGGBB, or -1 outside.
    long At(int x, int y) const;
};
Screen Grab();

}  // namespace gltest
