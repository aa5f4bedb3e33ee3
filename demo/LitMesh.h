// The lit geometry kit both scenes share: the cube and two-sided panel meshes
// (position + face normal), their vertex buffers (attribute 0 position,
// attribute 1 normal, 24-byte stride) and the protocol for drawing one object
// with a lit program. Needs a current GL context except for the pure helpers.
#pragma once

#include <cstdint>

#include <glm/glm.hpp>

class ShaderProgram;

struct LitVertex {
    float px, py, pz;
    float nx, ny, nz;
};
static_assert(sizeof(LitVertex) == 24, "LitVertex is packed to 24 bytes");

// The cube with corners at +-1, six faces of two counter-clockwise triangles.
struct CubeMesh {
    static constexpr int kVertexCount = 36;
    CubeMesh();
    LitVertex vertices[kVertexCount];
};

// The square x, y in -1..1 at z = 1, once per side (front normal +z, back -z).
struct PanelMesh {
    static constexpr int kVertexCount = 12;
    PanelMesh();
    LitVertex vertices[kVertexCount];
};

// Locations of the lit uniforms, -1 when absent.
struct LitUniforms {
    int32_t modelMatrix = -1;
    int32_t lightPos = -1;
    int32_t normalMatrix = -1;
    int32_t diffuse = -1;
};

// Looks the four names up in the order ModelMatrix, LightPos, NormalMatrix,
// Diffuse; all -1 when the program has no GL name.
LitUniforms FindLitUniforms(const ShaderProgram& program);

// Uploads the mesh into a new static buffer and points attributes 0 and 1 of
// the bound vertex array at it; returns the buffer name.
uint32_t CreateLitBuffer(const CubeMesh& mesh);
uint32_t CreateLitBuffer(const PanelMesh& mesh);

// Makes the buffer current and re-points attributes 0 and 1 at it.
void UseLitBuffer(uint32_t buffer);

// transpose(inverse(V * M)): turns object normals into eye space.
glm::mat4 LitNormalMatrix(const glm::mat4& model, const glm::mat4& view);

// Model matrix, normal matrix and colour uploads, then one triangle draw.
void DrawLitObject(const LitUniforms& uniforms, const glm::mat4& model, const glm::mat4& view,
                   const glm::vec3& diffuse, int vertexCount);
