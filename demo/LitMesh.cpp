// The cube and panel meshes, their buffers and the lit draw protocol.
#include "demo/LitMesh.h"

#include <glm/gtc/type_ptr.hpp>

#include "render/ShaderProgram.h"
#include "render/gl.h"

namespace {

struct Face {
    float normal[3];
    float positions[6][3];
};

// Six vertices per face, in draw order.
const Face kCubeFaces[6] = {
    {{0, 0, 1}, {{-1, 1, 1}, {-1, -1, 1}, {1, 1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, -1, 1}}},
    {{1, 0, 0}, {{1, 1, 1}, {1, -1, 1}, {1, 1, -1}, {1, -1, -1}, {1, 1, -1}, {1, -1, 1}}},
    {{0, 0, -1}, {{-1, 1, -1}, {1, 1, -1}, {-1, -1, -1}, {1, -1, -1}, {-1, -1, -1}, {1, 1, -1}}},
    {{-1, 0, 0}, {{-1, 1, 1}, {-1, 1, -1}, {-1, -1, 1}, {-1, -1, -1}, {-1, -1, 1}, {-1, 1, -1}}},
    {{0, 1, 0}, {{-1, 1, 1}, {1, 1, 1}, {-1, 1, -1}, {1, 1, -1}, {-1, 1, -1}, {1, 1, 1}}},
    {{0, -1, 0}, {{-1, -1, 1}, {-1, -1, -1}, {1, -1, 1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, -1}}},
};

const Face kPanelFaces[2] = {
    {{0, 0, 1}, {{-1, 1, 1}, {-1, -1, 1}, {1, 1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, -1, 1}}},
    {{0, 0, -1}, {{-1, 1, 1}, {1, 1, 1}, {-1, -1, 1}, {1, -1, 1}, {-1, -1, 1}, {1, 1, 1}}},
};

void FillFaces(const Face* faces, int faceCount, LitVertex* out) {
    for (int f = 0; f < faceCount; ++f)
        for (int v = 0; v < 6; ++v) {
            const float* p = faces[f].positions[v];
            const float* n = faces[f].normal;
            out[f * 6 + v] = LitVertex{p[0], p[1], p[2], n[0], n[1], n[2]};
        }
}

void PointLitAttributes() {
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(LitVertex), nullptr);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(LitVertex),
                          reinterpret_cast<const void*>(3 * sizeof(float)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
}

uint32_t UploadLitVertices(const LitVertex* vertices, int count) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(LitVertex)), vertices,
                 GL_STATIC_DRAW);
    PointLitAttributes();
    return buffer;
}

}  // namespace

CubeMesh::CubeMesh() { FillFaces(kCubeFaces, 6, vertices); }
PanelMesh::PanelMesh() { FillFaces(kPanelFaces, 2, vertices); }

LitUniforms FindLitUniforms(const ShaderProgram& program) {
    LitUniforms u;
    u.modelMatrix = program.GetUniformLocation("ModelMatrix");
    u.lightPos = program.GetUniformLocation("LightPos");
    u.normalMatrix = program.GetUniformLocation("NormalMatrix");
    u.diffuse = program.GetUniformLocation("Diffuse");
    return u;
}

// GL keeps its own copy: the caller's mesh may be a temporary.
uint32_t CreateLitBuffer(const CubeMesh& mesh) {
    return UploadLitVertices(mesh.vertices, CubeMesh::kVertexCount);
}

uint32_t CreateLitBuffer(const PanelMesh& mesh) {
    return UploadLitVertices(mesh.vertices, PanelMesh::kVertexCount);
}

void UseLitBuffer(uint32_t buffer) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    PointLitAttributes();
}

glm::mat4 LitNormalMatrix(const glm::mat4& model, const glm::mat4& view) {
    return glm::transpose(glm::inverse(view * model));
}

void DrawLitObject(const LitUniforms& uniforms, const glm::mat4& model, const glm::mat4& view,
                   const glm::vec3& diffuse, int vertexCount) {
    glUniformMatrix4fv(uniforms.modelMatrix, 1, GL_FALSE, glm::value_ptr(model));
    glm::mat4 normal = LitNormalMatrix(model, view);
    glUniformMatrix4fv(uniforms.normalMatrix, 1, GL_FALSE, glm::value_ptr(normal));
    glUniform3fv(uniforms.diffuse, 1, glm::value_ptr(diffuse));
    glDrawArrays(GL_TRIANGLES, 0, vertexCount);
}
