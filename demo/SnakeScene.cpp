// The snake scene: the cube-mapped tunnel pass, then the tunnel snake.
#include "demo/SnakeScene.h"

#include <glm/gtc/type_ptr.hpp>

#include "demo/CubeSnake.h"
#include "demo/SceneContext.h"
#include "demo/TunnelLayout.h"
#include "render/IRenderer.h"
#include "render/Texture.h"
#include "render/gl.h"
#include "sync/SyncSystem.h"

namespace {
const glm::vec3 kTunnelLightPos{0.0f, 0.0f, 5.0f};
const glm::vec3 kSnakeLightPos{0.0f, 5.0f, 0.0f};
const glm::vec3 kPanelDiffuse{0.49f, 0.6f, 0.71f};
constexpr float kPanelReflection = 0.2f;
}  // namespace

SnakeScene::SnakeScene() { name = "Snake Scene Effect"; }

bool SnakeScene::Init() {
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    cubeBuffer = CreateLitBuffer(CubeMesh());
    panelBuffer = CreateLitBuffer(PanelMesh());
    glBindVertexArray(0);

    sampler = MakeClampedSampler(GL_LINEAR_MIPMAP_LINEAR);

    texture = gRenderer ? gRenderer->LoadTexture("./Textures/CubeMapTest.jpg", true) : nullptr;
    if (!program.Load("./Shaders/Phong.vert", "./Shaders/Phong.frag", nullptr)) return false;
    if (!tunnelProgram.Load("./Shaders/TexturedLit.vert", "./Shaders/TexturedLit.frag", nullptr))
        return false;
    snakeLit = FindLitUniforms(program);

    texSamplerLocation = tunnelProgram.GetUniformLocation("TexSampler");
    tunnelLocations.modelMatrix = tunnelProgram.GetUniformLocation("ModelMatrix");
    tunnelLocations.lightPos = tunnelProgram.GetUniformLocation("LightPos");
    tunnelLocations.normalMatrix = tunnelProgram.GetUniformLocation("NormalMatrix");
    tunnelLocations.diffuse = tunnelProgram.GetUniformLocation("Diffuse");
    tunnelLocations.reflection = tunnelProgram.GetUniformLocation("Reflection");

    snakeHeight = FetchTrack("Snake Height");
    snakeSpeed = FetchTrack("Snake Speed");
    tunnelRadius = FetchTrack("Tunnel Radius");
    return true;
}

void SnakeScene::Render(float t) {
    tunnelProgram.Bind(t);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(texSamplerLocation, 0);
    glBindSampler(0, sampler);
    // Without any texture (no file, no fallback) the panels sample texture 0.
    glBindTexture(GL_TEXTURE_CUBE_MAP, texture ? texture->id : 0);
    UseLitBuffer(panelBuffer);
    glUniform3fv(tunnelLocations.lightPos, 1, glm::value_ptr(kTunnelLightPos));
    glm::mat4 view = CameraViewMatrix();
    for (int i = 0; i < kTunnelRings; ++i)
        for (int j = 0; j < kTunnelPanels; ++j) {
            float r1 = ReadTrack(tunnelRadius);
            float r2 = ReadTrack(tunnelRadius);
            glm::mat4 model = TunnelPanelMatrix(i, j, t, r1, r2);
            glUniformMatrix4fv(tunnelLocations.modelMatrix, 1, GL_FALSE, glm::value_ptr(model));
            glUniform3fv(tunnelLocations.diffuse, 1, glm::value_ptr(kPanelDiffuse));
            glUniform1f(tunnelLocations.reflection, kPanelReflection);
            glDrawArrays(GL_TRIANGLES, 0, PanelMesh::kVertexCount);
        }
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glBindSampler(0, 0);

    program.Bind(t);
    UseLitBuffer(cubeBuffer);
    glUniform3fv(snakeLit.lightPos, 1, glm::value_ptr(kSnakeLightPos));
    CubeSnake(SnakeVariant::Tunnel, snakeLit, snakeSpeed, snakeHeight, t, view);
}

void SnakeScene::Shutdown() {
    ReleaseTrack(snakeHeight);
    ReleaseTrack(snakeSpeed);
    ReleaseTrack(tunnelRadius);
    program.Delete();
    tunnelProgram.Delete();
    glDeleteSamplers(1, &sampler);
    glDeleteBuffers(1, &cubeBuffer);
    glDeleteBuffers(1, &panelBuffer);
    glDeleteVertexArrays(1, &vertexArray);
    sampler = cubeBuffer = panelBuffer = vertexArray = 0;
}
