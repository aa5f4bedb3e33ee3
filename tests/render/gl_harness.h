// Renderer test helpers on top of the shared GL set-up: a fixture with the
// renderer on a small window, and grabs of what the X server shows.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "tests/support/gl_window.h"
#include "tests/support/scratch_dir.h"

namespace gltest {

// The renderer on a fresh 320 x 240 window, with the start-up log cleared,
// and a scratch folder for the test's files.
class RendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.Start(320, 240));
        logger.lines.clear();
    }
    std::string Path(const char* name) { return dir / name; }
    // The cache keeps the caller's name pointer and logs it at Shutdown, so
    // a name handed to LoadTexture must outlive the renderer: this one does.
    const std::string& Kept(std::string name) { return keptNames.emplace_back(std::move(name)); }

    std::deque<std::string> keptNames;  // destroyed after the renderer
    GLWindow gl;
    RecordingLogger& logger = gl.logger;
    GLRenderer& renderer = gl.renderer;
    ScratchDir dir;
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
