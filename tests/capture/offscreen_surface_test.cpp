// The capture's off-screen surface on a real EGL context (Mesa, no display):
// a composed frame is drawn and read back single-sampled, any other frame
// keeps its multisampling, and the surface switches back and forth frame by
// frame. The frames come back as drawn, each in its turn.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "capture/OffscreenSurface.h"
#include "render/gl.h"

namespace {

constexpr int kSize = 64;

// A white triangle over the lower-right half of the frame: its long edge
// runs diagonally, where multisampling leaves pixels between black and white.
class Triangle {
public:
    bool Create() {
        const char* vertex =
            "#version 330 core\n"
            "layout(location = 0) in vec2 Position;\n"
            "void main() { gl_Position = vec4(Position, 0.0, 1.0); }\n";
        const char* fragment =
            "#version 330 core\n"
            "out vec4 FragColor;\n"
            "void main() { FragColor = vec4(1.0); }\n";
        program = glCreateProgram();
        for (auto [type, source] : {std::pair<GLenum, const char*>{GL_VERTEX_SHADER, vertex},
                                    std::pair<GLenum, const char*>{GL_FRAGMENT_SHADER, fragment}}) {
            GLuint shader = glCreateShader(type);
            glShaderSource(shader, 1, &source, nullptr);
            glCompileShader(shader);
            glAttachShader(program, shader);
            glDeleteShader(shader);
        }
        glLinkProgram(program);
        GLint linked = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        const float corners[] = {-1.0f, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f};
        glGenVertexArrays(1, &vertexArray);
        glBindVertexArray(vertexArray);
        glGenBuffers(1, &buffer);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(0);
        return linked != 0;
    }
    // One frame as the renderer draws one: cleared, then drawn into.
    void Frame(OffscreenSurface& surface, bool composed) {
        surface.BeginFrame(composed);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUseProgram(program);
        glBindVertexArray(vertexArray);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        surface.Present();
    }
    void Release() {
        glDeleteBuffers(1, &buffer);
        glDeleteVertexArrays(1, &vertexArray);
        glDeleteProgram(program);
    }

private:
    GLuint program = 0, vertexArray = 0, buffer = 0;
};

struct Counts {
    int white = 0, between = 0;
};

Counts CountRed(const std::vector<uint8_t>& rgba) {
    Counts counts;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        counts.white += rgba[i] == 255;
        counts.between += rgba[i] > 0 && rgba[i] < 255;
    }
    return counts;
}

// The triangle drawn once per entry of `composed` (a frame a post-processor
// composes, or not) on a surface with `samples`, and the frames read back.
std::vector<std::vector<uint8_t>> DrawFrames(int samples, const std::vector<bool>& composed) {
    std::vector<std::vector<uint8_t>> frames;
    OffscreenSurface surface(kSize, kSize);
    Triangle triangle;
    if (!surface.Create(nullptr, samples)) return frames;
    if (triangle.Create()) {
        surface.SetConsumer([&](const uint8_t* rgba) {
            frames.emplace_back(rgba, rgba + kSize * kSize * 4);
            return true;
        });
        for (bool frame : composed) triangle.Frame(surface, frame);
        if (!surface.Flush()) frames.clear();
        triangle.Release();
    }
    surface.Release();
    return frames;
}

TEST(OffscreenSurface, ComposedFramesSkipMultisamplingAndOthersKeepIt) {
    const std::vector<bool> composed = {false, true, true, false};
    const std::vector<std::vector<uint8_t>> frames = DrawFrames(4, composed);
    ASSERT_EQ(frames.size(), 4u);

    for (size_t k = 0; k < frames.size(); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        const Counts counts = CountRed(frames[k]);
        // Half the frame is white, whichever way it was drawn.
        EXPECT_NEAR(counts.white + counts.between / 2, kSize * kSize / 2, kSize);
        if (composed[k])
            EXPECT_EQ(counts.between, 0);  // single-sampled: every pixel in or out
        else
            EXPECT_GE(counts.between, kSize / 2);  // the diagonal edge blends
    }
    EXPECT_EQ(frames[1], frames[2]);
    EXPECT_EQ(frames[0], frames[3]);
}

TEST(OffscreenSurface, WithoutMultisamplingEveryFrameIsDrawnTheSameWay) {
    const std::vector<std::vector<uint8_t>> frames = DrawFrames(0, {true, false});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], frames[1]);
    EXPECT_EQ(CountRed(frames[0]).between, 0);
    EXPECT_GT(CountRed(frames[0]).white, kSize * kSize / 3);
}

}  // namespace
