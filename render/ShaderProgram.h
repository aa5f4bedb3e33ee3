// ShaderProgram: two or three GLSL files under ./Shaders/ linked and validated
// into one program; Bind feeds the standard uniforms it declares
// ("ProjectionMatrix", "ViewMatrix", "CurrentTime", "Resolution").
#pragma once

#include <cstdint>
#include <memory>

class ShaderProgram {
public:
    // The geometry path may be null. Logs its own error lines; false on failure.
    bool Load(const char* vertexPath, const char* fragmentPath, const char* geometryPath);
    void Bind(float time);
    void Delete();
    // The uniform's location, or -1 when there is no program.
    int GetUniformLocation(const char* name) const;

    int32_t vertexShader = -1;
    int32_t fragmentShader = -1;
    int32_t geometryShader = -1;
    int32_t program = 0;
    int32_t projectionMatrixLocation = -1;
    int32_t viewMatrixLocation = -1;
    int32_t currentTimeLocation = -1;
    int32_t resolutionLocation = -1;
};

// Largest shader source read.
constexpr uint64_t kMaxShaderSourceBytes = uint64_t(4) << 20;

// The whole file plus a terminating NUL (binary, no line-end translation);
// null when it cannot be opened or is no regular file of at most
// kMaxShaderSourceBytes.
std::unique_ptr<char[]> ReadTextFile(const char* path, size_t* size = nullptr);
