// ShaderProgram: reads every source first, compiles each stage, links and
// validates, caches the four standard uniform locations; Bind feeds them from
// the renderer. Sources reach the compiler byte for byte up to their first NUL.
#include "render/ShaderProgram.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "core/Log.h"
#include "platform/FileRead.h"
#include "render/IRenderer.h"
#include "render/gl.h"

std::unique_ptr<char[]> ReadTextFile(const char* path, size_t* size) {
    // Only a regular file of sensible size is a source.
    platform::RegularFileReader file(path);
    if (!file.Regular() || file.Size() > kMaxShaderSourceBytes) return nullptr;
    const size_t length = static_cast<size_t>(file.Size());
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[length + 1]);
    if (!buffer) return nullptr;
    const size_t got = file.Read(buffer.get(), length);
    buffer[got] = '\0';
    if (size) *size = got;
    return buffer;
}

namespace {

// Compiles one stage into `name`; on failure writes "<label>" and the info log.
bool CompileStage(GLenum type, const char* source, int32_t* name, const char* failureLabel) {
    GLuint shader = glCreateShader(type);
    *name = static_cast<int32_t>(shader);
    const GLint length = static_cast<GLint>(std::char_traits<char>::length(source));
    glShaderSource(shader, 1, &source, &length);
    glCompileShader(shader);
    GLint status = -1;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != 0) return true;
    GLint logLength = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
    std::string log(static_cast<size_t>(logLength > 0 ? logLength : 0) + 1, '\0');
    glGetShaderInfoLog(shader, logLength > 0 ? logLength : 0, nullptr, log.data());
    LogPair(failureLabel, log.c_str());
    return false;
}

// The program's info log as text.
std::string ProgramLog(GLuint program) {
    GLint logLength = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
    std::string log(static_cast<size_t>(logLength > 0 ? logLength : 0) + 1, '\0');
    glGetProgramInfoLog(program, logLength > 0 ? logLength : 0, nullptr, log.data());
    return log;
}

}  // namespace

bool ShaderProgram::Load(const char* vertexPath, const char* fragmentPath, const char* geometryPath) {
    if (!vertexPath || !fragmentPath) {
        LogError("Invalid vertex or fragment source!");
        return false;
    }
    std::unique_ptr<char[]> vertexSource = ReadTextFile(vertexPath);
    if (!vertexSource) {
        LogError("Failed to read vertex shader source!");
        return false;
    }
    std::unique_ptr<char[]> fragmentSource = ReadTextFile(fragmentPath);
    if (!fragmentSource) {
        LogError("Failed to read fragment shader source!");
        return false;
    }
    std::unique_ptr<char[]> geometrySource;
    if (geometryPath) {
        geometrySource = ReadTextFile(geometryPath);
        if (!geometrySource) {
            LogError("Failed to read geometry shader source!");
            return false;
        }
    }

    if (!CompileStage(GL_VERTEX_SHADER, vertexSource.get(), &vertexShader,
                      "ERROR: Failed to compile vertex shader: "))
        return false;
    if (!CompileStage(GL_FRAGMENT_SHADER, fragmentSource.get(), &fragmentShader,
                      "ERROR: Failed to compile fragment shader: "))
        return false;
    if (geometrySource && !CompileStage(GL_GEOMETRY_SHADER, geometrySource.get(), &geometryShader,
                                        "ERROR: Failed to compile geometry shader: "))
        return false;
    vertexSource.reset();
    fragmentSource.reset();
    geometrySource.reset();

    GLuint name = glCreateProgram();
    program = static_cast<int32_t>(name);
    glAttachShader(name, static_cast<GLuint>(vertexShader));
    if (geometryShader != -1) glAttachShader(name, static_cast<GLuint>(geometryShader));
    glAttachShader(name, static_cast<GLuint>(fragmentShader));
    glLinkProgram(name);

    GLint status = -1;
    glGetProgramiv(name, GL_LINK_STATUS, &status);
    if (status == 0) {
        LogPair("ERROR: Failed to link shader program: ", ProgramLog(name).c_str());
        return false;
    }
    glValidateProgram(name);
    status = -1;
    glGetProgramiv(name, GL_VALIDATE_STATUS, &status);
    if (status == 0) {
        LogPair("ERROR: Failed to validate shader program: ", ProgramLog(name).c_str());
        return false;
    }

    projectionMatrixLocation = GetUniformLocation("ProjectionMatrix");
    viewMatrixLocation = GetUniformLocation("ViewMatrix");
    currentTimeLocation = GetUniformLocation("CurrentTime");
    resolutionLocation = GetUniformLocation("Resolution");
    return true;
}

void ShaderProgram::Bind(float time) {
    glUseProgram(static_cast<GLuint>(program));
    // Without a renderer there is nothing to feed but the time.
    if (gRenderer) {
        if (projectionMatrixLocation != -1)
            glUniformMatrix4fv(projectionMatrixLocation, 1, GL_FALSE, &(*gRenderer->GetProjectionMatrix())[0][0]);
        if (viewMatrixLocation != -1) {
            glm::mat4 view;
            glUniformMatrix4fv(viewMatrixLocation, 1, GL_FALSE, &(*gRenderer->GetCamera()->ViewMatrix(view))[0][0]);
        }
    }
    if (currentTimeLocation != -1) glUniform1f(currentTimeLocation, time);
    if (gRenderer && resolutionLocation != -1) glUniform2f(resolutionLocation, gRenderer->width, gRenderer->height);
}

void ShaderProgram::Delete() {
    glUseProgram(0);
    // Only names that were created are released; a program that never
    // loaded holds none.
    const GLuint name = static_cast<GLuint>(program);
    if (vertexShader != -1) {
        if (name) glDetachShader(name, static_cast<GLuint>(vertexShader));
        glDeleteShader(static_cast<GLuint>(vertexShader));
    }
    if (geometryShader != -1) {
        if (name) glDetachShader(name, static_cast<GLuint>(geometryShader));
        glDeleteShader(static_cast<GLuint>(geometryShader));
    }
    if (fragmentShader != -1) {
        if (name) glDetachShader(name, static_cast<GLuint>(fragmentShader));
        glDeleteShader(static_cast<GLuint>(fragmentShader));
    }
    if (name) glDeleteProgram(name);
}

int ShaderProgram::GetUniformLocation(const char* name) const {
    if (program == 0) return -1;
    return glGetUniformLocation(static_cast<GLuint>(program), name);
}
