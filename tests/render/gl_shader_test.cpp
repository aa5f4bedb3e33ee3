// ShaderProgram on a real GL context: every error line, sources reaching the
// compiler byte for byte, the standard uniforms and release.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "render/GLRenderer.h"
#include "render/ShaderProgram.h"
#include "render/gl.h"
#include "tests/render/gl_harness.h"
#include "tests/support/text.h"

namespace {

const char kVertex[] =
    "#version 330 core\n"
    "layout(location = 0) in vec2 position;\n"
    "uniform mat4 ProjectionMatrix;\n"
    "uniform mat4 ViewMatrix;\n"
    "uniform float CurrentTime;\n"
    "void main() { gl_Position = ProjectionMatrix * ViewMatrix * vec4(position, CurrentTime, 1.0); }\n";
const char kFragment[] =
    "#version 330 core\n"
    "uniform vec2 Resolution;\n"
    "out vec4 color;\n"
    "void main() { color = vec4(Resolution, 0.0, 1.0); }\n";
const char kPlainVertex[] =
    "#version 330 core\nlayout(location = 0) in vec2 position;\nvoid main() { gl_Position = vec4(position, 0.0, 1.0); }\n";
const char kPlainFragment[] = "#version 330 core\nout vec4 color;\nvoid main() { color = vec4(1.0); }\n";
const char kGeometry[] =
    "#version 330 core\nlayout(points) in;\nlayout(points, max_vertices = 1) out;\n"
    "void main() { gl_Position = gl_in[0].gl_Position; EmitVertex(); EndPrimitive(); }\n";

class ShaderTest : public gltest::RendererTest {
protected:
    void SetUp() override {
        gltest::RendererTest::SetUp();
        if (HasFatalFailure()) return;
        dir.Write("Shaders/Full.vert", kVertex);
        dir.Write("Shaders/Full.frag", kFragment);
        dir.Write("Shaders/Plain.vert", kPlainVertex);
        dir.Write("Shaders/Plain.frag", kPlainFragment);
        dir.Write("Shaders/Points.geom", kGeometry);
    }
    // Loads with the given files (null stays null) and returns the log it wrote.
    std::vector<std::string> LoadLog(ShaderProgram& program, const char* vertex, const char* fragment,
                                     const char* geometry, bool* result = nullptr) {
        logger.lines.clear();
        const std::string v = vertex ? Path(vertex) : "", f = fragment ? Path(fragment) : "",
                          g = geometry ? Path(geometry) : "";
        bool ok = program.Load(vertex ? v.c_str() : nullptr, fragment ? f.c_str() : nullptr,
                               geometry ? g.c_str() : nullptr);
        if (result) *result = ok;
        return logger.lines;
    }
};

}  // namespace

TEST_F(ShaderTest, ReadFailuresCreateNoGLObjects) {
    struct Case {
        const char *vertex, *fragment, *geometry, *line;
    } cases[] = {
        {nullptr, "Shaders/Plain.frag", nullptr, "ERROR: Invalid vertex or fragment source!"},
        {"Shaders/Plain.vert", nullptr, nullptr, "ERROR: Invalid vertex or fragment source!"},
        {"Shaders/Absent.vert", "Shaders/Plain.frag", nullptr, "ERROR: Failed to read vertex shader source!"},
        {"Shaders/Plain.vert", "Shaders/Absent.frag", nullptr, "ERROR: Failed to read fragment shader source!"},
        {"Shaders/Plain.vert", "Shaders/Plain.frag", "Shaders/Absent.geom",
         "ERROR: Failed to read geometry shader source!"},
        {"NoShaders/Plain.vert", "NoShaders/Plain.frag", nullptr, "ERROR: Failed to read vertex shader source!"},
        {"Shaders", "Shaders/Plain.frag", nullptr, "ERROR: Failed to read vertex shader source!"},
        // Sources that never end or would fill memory: the same read error.
        {"Shaders/Zero.vert", "Shaders/Plain.frag", nullptr, "ERROR: Failed to read vertex shader source!"},
        {"Shaders/Plain.vert", "Shaders/Fifo.frag", nullptr, "ERROR: Failed to read fragment shader source!"},
        {"Shaders/Plain.vert", "Shaders/Plain.frag", "Shaders/Huge.geom",
         "ERROR: Failed to read geometry shader source!"},
    };
    dir.Link("Shaders/Zero.vert", "/dev/zero");
    ASSERT_EQ(mkfifo(Path("Shaders/Fifo.frag").c_str(), 0600), 0);
    dir.Write("Shaders/Huge.geom", kGeometry);
    ASSERT_EQ(truncate(Path("Shaders/Huge.geom").c_str(), off_t(64) << 30), 0);
    for (const Case& c : cases) {
        ShaderProgram program;
        bool ok = true;
        EXPECT_EQ(LoadLog(program, c.vertex, c.fragment, c.geometry, &ok), std::vector<std::string>{c.line});
        EXPECT_FALSE(ok);
        EXPECT_EQ(program.vertexShader, -1);
        EXPECT_EQ(program.fragmentShader, -1);
        EXPECT_EQ(program.geometryShader, -1);
        EXPECT_EQ(program.program, 0);
        EXPECT_EQ(program.GetUniformLocation("ProjectionMatrix"), -1);
    }
    // The next shader name GL hands out is the one it would have handed out anyway.
    const GLuint probe = glCreateShader(GL_VERTEX_SHADER);
    EXPECT_FALSE(glIsShader(probe + 1));
    glDeleteShader(probe);
}

TEST_F(ShaderTest, CompileLinkAndValidateFailuresCarryTheInfoLog) {
    dir.Write("Shaders/Broken.vert", "#version 330 core\nvoid main() { gl_Position = undefinedThing; }\n");
    dir.Write("Shaders/Broken.frag", "#version 330 core\nout vec4 c;\nvoid main() { c = nope; }\n");
    dir.Write("Shaders/Broken.geom", "#version 330 core\nlayout(points) in;\nvoid main() { oops(); }\n");
    dir.Write("Shaders/Empty.vert", "");
    dir.Write("Shaders/Binary.vert", std::string("\x7f" "ELF\x02\x01\x01\x00\x00\x00garbage", 18));
    dir.Write("Shaders/Binary2.vert", std::string("\x89PNG\r\n\x1a\n\xff\xfe\xfd", 11));
    // Calls a function no stage defines: compiles, but does not link.
    dir.Write("Shaders/Unlinked.frag",
              "#version 330 core\nvec4 helper();\nout vec4 c;\nvoid main() { c = helper(); }\n");
    // Two sampler types on one texture unit: links, but fails validation.
    dir.Write("Shaders/Clash.frag",
              "#version 330 core\nuniform sampler2D planar;\nuniform samplerCube cube;\nout vec4 c;\n"
              "void main() { c = texture(planar, vec2(0.5)) + texture(cube, vec3(1.0)); }\n");

    struct Case {
        const char *vertex, *fragment, *geometry, *prefix;
    } cases[] = {
        {"Shaders/Broken.vert", "Shaders/Plain.frag", nullptr, "ERROR: Failed to compile vertex shader: "},
        {"Shaders/Empty.vert", "Shaders/Plain.frag", nullptr, "ERROR: Failed to compile vertex shader: "},
        {"Shaders/Binary.vert", "Shaders/Plain.frag", nullptr, "ERROR: Failed to compile vertex shader: "},
        {"Shaders/Binary2.vert", "Shaders/Plain.frag", nullptr, "ERROR: Failed to compile vertex shader: "},
        {"Shaders/Plain.vert", "Shaders/Broken.frag", nullptr, "ERROR: Failed to compile fragment shader: "},
        {"Shaders/Plain.vert", "Shaders/Plain.frag", "Shaders/Broken.geom", "ERROR: Failed to compile geometry shader: "},
        {"Shaders/Plain.vert", "Shaders/Unlinked.frag", nullptr, "ERROR: Failed to link shader program: "},
        {"Shaders/Plain.vert", "Shaders/Clash.frag", nullptr, "ERROR: Failed to validate shader program: "},
    };
    for (const Case& c : cases) {
        ShaderProgram program;
        bool ok = true;
        const std::vector<std::string> lines = LoadLog(program, c.vertex, c.fragment, c.geometry, &ok);
        SCOPED_TRACE(std::string(c.vertex) + " " + c.fragment);
        EXPECT_FALSE(ok);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(StartsWith(lines[0], c.prefix)) << lines[0];
        EXPECT_GT(lines[0].size(), std::string(c.prefix).size()) << "no info log";
        program.Delete();
    }
}

TEST_F(ShaderTest, CrLfSourcesReachTheCompilerByteForByte) {
    const std::string vertex =
        "#version 330 core\r\nlayout(location = 0) in vec2 position;\r\n"
        "void main() {\r\n    gl_Position = vec4(position, 0.0, 1.0);\r\n}\r\n";
    const std::string fragment = "#version 330 core\r\nout vec4 color;\r\nvoid main() { color = vec4(1.0); }\r\n";
    dir.Write("Shaders/CrLf.vert", vertex);
    dir.Write("Shaders/CrLf.frag", fragment);
    ShaderProgram program;
    bool ok = false;
    EXPECT_TRUE(LoadLog(program, "Shaders/CrLf.vert", "Shaders/CrLf.frag", nullptr, &ok).empty());
    ASSERT_TRUE(ok);
    auto source = [](int32_t shader) {
        GLint length = 0;
        glGetShaderiv(static_cast<GLuint>(shader), GL_SHADER_SOURCE_LENGTH, &length);
        std::string text(static_cast<size_t>(length), '\0');
        glGetShaderSource(static_cast<GLuint>(shader), length, nullptr, text.data());
        text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
        return text;
    };
    EXPECT_EQ(source(program.vertexShader), vertex);
    EXPECT_EQ(source(program.fragmentShader), fragment);
    program.Delete();
}

TEST_F(ShaderTest, StandardUniformsFollowTheRenderer) {
    ShaderProgram program;
    bool ok = false;
    EXPECT_TRUE(LoadLog(program, "Shaders/Full.vert", "Shaders/Full.frag", nullptr, &ok).empty());
    ASSERT_TRUE(ok);
    ASSERT_NE(program.projectionMatrixLocation, -1);
    ASSERT_NE(program.viewMatrixLocation, -1);
    ASSERT_NE(program.currentTimeLocation, -1);
    ASSERT_NE(program.resolutionLocation, -1);

    renderer.camera.yaw = 30;
    renderer.camera.distance = 5;
    program.Bind(2.5f);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, program.program);
    glm::mat4 projection, view, expectedView;
    glGetUniformfv(program.program, program.projectionMatrixLocation, &projection[0][0]);
    glGetUniformfv(program.program, program.viewMatrixLocation, &view[0][0]);
    EXPECT_EQ(projection, *renderer.GetProjectionMatrix());
    EXPECT_EQ(view, *renderer.camera.ViewMatrix(expectedView));
    GLfloat time = 0, resolution[2] = {0, 0};
    glGetUniformfv(program.program, program.currentTimeLocation, &time);
    glGetUniformfv(program.program, program.resolutionLocation, resolution);
    EXPECT_EQ(time, 2.5f);
    EXPECT_EQ(resolution[0], 320.0f);
    EXPECT_EQ(resolution[1], 240.0f);

    // After a resize the next Bind sees the new size.
    renderer.Resize(100, 200);
    program.Bind(0.0f);
    glGetUniformfv(program.program, program.resolutionLocation, resolution);
    EXPECT_EQ(resolution[0], 200.0f);
    EXPECT_EQ(resolution[1], 100.0f);

    // Without standard uniforms every location is -1.
    ShaderProgram plain;
    ASSERT_TRUE(plain.Load(Path("Shaders/Plain.vert").c_str(), Path("Shaders/Plain.frag").c_str(), nullptr));
    EXPECT_EQ(plain.projectionMatrixLocation, -1);
    EXPECT_EQ(plain.viewMatrixLocation, -1);
    EXPECT_EQ(plain.currentTimeLocation, -1);
    EXPECT_EQ(plain.resolutionLocation, -1);
    plain.Bind(1.0f);
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, plain.program);
    plain.Delete();
    program.Delete();
}

TEST_F(ShaderTest, DeleteReleasesEveryStage) {
    ShaderProgram two, three;
    ASSERT_TRUE(two.Load(Path("Shaders/Plain.vert").c_str(), Path("Shaders/Plain.frag").c_str(), nullptr));
    ASSERT_TRUE(three.Load(Path("Shaders/Plain.vert").c_str(), Path("Shaders/Plain.frag").c_str(),
                           Path("Shaders/Points.geom").c_str()));
    EXPECT_EQ(two.geometryShader, -1);
    ASSERT_NE(three.geometryShader, -1);
    GLint attached = 0;
    glGetProgramiv(static_cast<GLuint>(three.program), GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 3);

    two.Bind(0.0f);
    two.Delete();
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    EXPECT_FALSE(glIsShader(static_cast<GLuint>(two.vertexShader)));
    EXPECT_FALSE(glIsShader(static_cast<GLuint>(two.fragmentShader)));
    EXPECT_FALSE(glIsProgram(static_cast<GLuint>(two.program)));
    EXPECT_NE(two.program, 0);  // the fields keep their values

    three.Delete();
    EXPECT_FALSE(glIsShader(static_cast<GLuint>(three.geometryShader)));
    EXPECT_FALSE(glIsProgram(static_cast<GLuint>(three.program)));

    ShaderProgram never;
    EXPECT_EQ(never.GetUniformLocation("ViewMatrix"), -1);
    never.Delete();  // holds nothing; releases nothing
}
