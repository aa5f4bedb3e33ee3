// OverlayPainter: stb_easy_font quads turned into triangles with a colour
// per corner, drawn in pixel coordinates by a two-line shader.
#include "author/OverlayPainter.h"

#include <stb_easy_font.h>

#include <algorithm>

#include "render/gl.h"

namespace {

const char kVertexSource[] =
    "#version 330 core\n"
    "layout(location = 0) in vec2 Position;\n"
    "layout(location = 1) in vec4 Colour;\n"
    "uniform vec2 Size;\n"
    "out vec4 colour;\n"
    "void main() {\n"
    "    colour = Colour;\n"
    "    gl_Position = vec4(Position.x / Size.x * 2.0 - 1.0, 1.0 - Position.y / Size.y * 2.0, 0.0, 1.0);\n"
    "}\n";
const char kFragmentSource[] =
    "#version 330 core\n"
    "in vec4 colour;\n"
    "out vec4 FragColour;\n"
    "void main() { FragColour = colour; }\n";

constexpr float kScale = 2;
constexpr float kLineHeight = 12;  // stb_easy_font rows, before scaling
constexpr float kMargin = 8;
constexpr size_t kGlyphBytesPerLine = 270 * 200;  // room for 200 characters
constexpr size_t kMaxLines = 80;

GLuint Compile(GLenum type, const char* source) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

void AddCorner(std::vector<float>& out, float x, float y, const float* rgba) {
    out.insert(out.end(), {x, y, rgba[0], rgba[1], rgba[2], rgba[3]});
}

// Two triangles for the rectangle x0,y0 - x1,y1.
void AddRectangle(std::vector<float>& out, float x0, float y0, float x1, float y1, const float* rgba) {
    AddCorner(out, x0, y0, rgba);
    AddCorner(out, x1, y0, rgba);
    AddCorner(out, x1, y1, rgba);
    AddCorner(out, x0, y0, rgba);
    AddCorner(out, x1, y1, rgba);
    AddCorner(out, x0, y1, rgba);
}

}  // namespace

bool OverlayPainter::Init() {
    const GLuint vertex = Compile(GL_VERTEX_SHADER, kVertexSource);
    const GLuint fragment = Compile(GL_FRAGMENT_SHADER, kFragmentSource);
    program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        Shutdown();
        return false;
    }
    sizeLocation = glGetUniformLocation(program, "Size");
    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(1, &vertexBuffer);
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, 6 * sizeof(float),
                          reinterpret_cast<const void*>(2 * sizeof(float)));
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glyphs.resize(kGlyphBytesPerLine);
    return true;
}

void OverlayPainter::Shutdown() {
    if (vertexBuffer) glDeleteBuffers(1, &vertexBuffer);
    if (vertexArray) glDeleteVertexArrays(1, &vertexArray);
    if (program) glDeleteProgram(program);
    vertexBuffer = vertexArray = program = 0;
}

void OverlayPainter::Draw(const std::vector<std::string>& lines, int width, int height) {
    if (!program || lines.empty() || width <= 0 || height <= 0) return;
    const float panel[4] = {0, 0, 0, 0.6f};
    const float ink[4] = {1, 1, 0.85f, 1};
    vertices.clear();
    // Lines that would run off the bottom start a new column to the right.
    const float lineHeight = kLineHeight * kScale;
    const size_t perColumn =
        std::max<size_t>(1, static_cast<size_t>((static_cast<float>(height) - 2 * kMargin) / lineHeight));
    const size_t count = std::min(lines.size(), kMaxLines);
    float left = 0;
    for (size_t first = 0; first < count; first += perColumn) {
        const size_t last = std::min(count, first + perColumn);
        float widest = 0;
        for (size_t i = first; i < last; ++i)
            widest = std::max(widest, static_cast<float>(stb_easy_font_width(const_cast<char*>(lines[i].c_str()))));
        const float right = left + widest * kScale + 2 * kMargin;
        AddRectangle(vertices, left, 0, right, (last - first) * lineHeight + 2 * kMargin, panel);
        for (size_t i = first; i < last; ++i) {
            const int quads = stb_easy_font_print(0, 0, const_cast<char*>(lines[i].c_str()), nullptr,
                                                  glyphs.data(), static_cast<int>(glyphs.size()));
            const float x = left + kMargin, top = kMargin + (i - first) * lineHeight;
            // Each corner is x, y, z as floats and 4 colour bytes; corner 2 is
            // the one across from corner 0.
            for (int q = 0; q < quads; ++q) {
                const float* corner = reinterpret_cast<const float*>(glyphs.data() + q * 64);
                AddRectangle(vertices, x + corner[0] * kScale, top + corner[1] * kScale, x + corner[8] * kScale,
                             top + corner[9] * kScale, ink);
            }
        }
        left = right;
    }

    GLint oldProgram = 0, oldArray = 0, oldBuffer = 0, viewport[4] = {};
    glGetIntegerv(GL_CURRENT_PROGRAM, &oldProgram);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &oldArray);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &oldBuffer);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLint blendSource = 0, blendDestination = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSource);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDestination);
    const GLboolean blend = glIsEnabled(GL_BLEND), depth = glIsEnabled(GL_DEPTH_TEST),
                    cull = glIsEnabled(GL_CULL_FACE);

    glViewport(0, 0, width, height);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glUseProgram(program);
    glUniform2f(sizeLocation, static_cast<float>(width), static_cast<float>(height));
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                 GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 6));

    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(oldBuffer));
    glBindVertexArray(static_cast<GLuint>(oldArray));
    glUseProgram(static_cast<GLuint>(oldProgram));
    glBlendFunc(static_cast<GLenum>(blendSource), static_cast<GLenum>(blendDestination));
    if (!blend) glDisable(GL_BLEND);
    if (depth) glEnable(GL_DEPTH_TEST);
    if (cull) glEnable(GL_CULL_FACE);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}
