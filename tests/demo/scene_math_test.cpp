// The scenes' arithmetic without a GL context: the layout generator and the
// seeded layouts, ball points, hit search, glow decay, particle and floor
// positions, snake and tunnel transforms, meshes, normal matrix, bloom sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <glm/glm.hpp>

#include "demo/Bloom.h"
#include "demo/CubeSnake.h"
#include "demo/LayoutRandom.h"
#include "demo/LitMesh.h"
#include "demo/ParticleLayout.h"
#include "demo/TunnelLayout.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

glm::vec3 Translation(const glm::mat4& m) { return glm::vec3(m[3]); }

void ExpectVec(const glm::vec3& actual, const glm::vec3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

bool Finite(const glm::mat4& m) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            if (!std::isfinite(m[c][r])) return false;
    return true;
}

struct Layouts {
    FloorVectors scatter, grid, spin, size;
    ParticleVectors start, drift, late;
    HitParticles hits;
    Layouts() {
        GenerateFloorLayout(scatter, grid, spin, size);
        GenerateParticleLayout(start, drift, late, hits);
    }
};

}  // namespace

TEST(LayoutRandom, ReproducesTheFixedSequenceFromSeedZero) {
    LayoutRandom random;
    random.Seed(0);
    const int expected[] = {38, 7719, 21238, 2437, 8855};
    for (int value : expected) EXPECT_EQ(random.Next(), value);
    random.Seed(0);
    Draw3 d = NextDraw3(random);
    EXPECT_EQ(d.d1, 38);
    EXPECT_EQ(d.d2, 7719);
    EXPECT_EQ(d.d3, 21238);
    // The state wraps at 32 bits and draws stay within 0..32767.
    for (int i = 0; i < 100000; ++i) {
        int v = random.Next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

TEST(RainLayout, FloorEntriesFollowTheDrawOrder) {
    Layouts l;
    // Cube k = 20 i + j: scatter (x from d3, y from d2, z from d1), spin, size.
    ExpectVec(l.scatter[0], {-12, 9, -12}, 0);
    ExpectVec(l.spin[0], {278, 216, 278}, 0);
    ExpectVec(l.size[0], glm::vec3(2.0f / 3.0f), 1e-6f);
    ExpectVec(l.scatter[1], {-38, 0, 35}, 0);
    ExpectVec(l.spin[1], {63, 21, 94}, 0);
    ExpectVec(l.size[1], glm::vec3(2.0f), 0);
    ExpectVec(l.scatter[399], {-7, 4, 7}, 0);
    ExpectVec(l.spin[399], {346, 99, 7}, 0);
    ExpectVec(l.size[399], glm::vec3(1.0f / 3.0f), 1e-6f);
    ExpectVec(l.grid[0], {-30, 0, -30}, 0);
    ExpectVec(l.grid[1], {-30, 0, -27}, 0);
    ExpectVec(l.grid[20], {-27, 0, -30}, 0);
    ExpectVec(l.grid[210], {0, 0, 0}, 0);
    ExpectVec(l.grid[399], {27, 0, 27}, 0);
}

TEST(RainLayout, ParticleEntriesRestartFromSeedZero) {
    Layouts l;
    // The first start uses the same three draws as the first floor scatter.
    ExpectVec(l.start[0], {13, -6, 13}, 0);
    ExpectVec(l.start[2499], {-8, 18, -17}, 0);
    glm::vec3 u(0.28f, 0.15f, 0.13f);
    ExpectVec(l.drift[0], u / std::sqrt(glm::dot(u, u)), 1e-6f);
    for (const auto& d : l.drift) ASSERT_NEAR(glm::length(d), 1.0f, 1e-5f);
    ExpectVec(l.late[0], {0.30f, 0.48f, 0.27f}, 1e-6f);
    ExpectVec(l.late[2499], {0.46f, 0.36f, 0.11f}, 1e-6f);
    EXPECT_EQ(l.hits[0], 260);
    EXPECT_EQ(l.hits[1], 633);
    EXPECT_EQ(l.hits[2], 247);
    EXPECT_EQ(l.hits[107], 1281);

    Layouts again;
    EXPECT_EQ(l.scatter, again.scatter);
    EXPECT_EQ(l.start, again.start);
    EXPECT_EQ(l.hits, again.hits);
}

TEST(RainLayout, BallPointsCoverTheBallAtTheRadius) {
    // The angle sequence, advanced in float, yields exactly 50 values below 360.
    int steps = 0;
    for (float a = 0.0f; a < 360.0f; a += 7.2f) ++steps;
    EXPECT_EQ(steps, kBallSteps);

    BallPoints ball;
    ParticleVectors points;
    ball.Fill(3.0f, points);
    ExpectVec(points[0], {0, 3, 0}, 1e-6f);  // a = 0: the pole
    // a = 72 (step 10), b = 36 (step 5).
    const double rad = 3.14159265358979 / 180.0;
    ExpectVec(points[50 * 10 + 5],
              {float(3 * std::cos(36 * rad) * std::sin(72 * rad)), float(3 * std::cos(72 * rad)),
               float(3 * std::sin(36 * rad) * std::sin(72 * rad))},
              1e-4f);
    for (const auto& p : points) ASSERT_NEAR(glm::length(p), 3.0f, 1e-4f);
    ball.Fill(0.0f, points);
    for (const auto& p : points) ASSERT_EQ(p, glm::vec3(0.0f));
}

TEST(RainHits, SearchPicksTheFirstHitWithinAQuarterBeat) {
    EXPECT_EQ(FindHit(80.0f), 0);
    EXPECT_EQ(FindHit(80.6f), 1);  // 0.5 and 0.75 both within 0.25: the earlier wins
    EXPECT_EQ(FindHit(80.8f), 2);
    EXPECT_EQ(FindHit(96.0f), 36);
    EXPECT_EQ(FindHit(112.1f), 72);
    EXPECT_EQ(FindHit(127.6f), 107);
    EXPECT_EQ(FindHit(79.9f), -1);
    EXPECT_EQ(FindHit(128.0f), -1);
    EXPECT_EQ(FindHit(500.0f), -1);
    EXPECT_EQ(FindHit(kNaN), -1);
    EXPECT_EQ(FindHit(kInf), -1);
    EXPECT_EQ(FindHit(-kInf), -1);
}

TEST(RainHits, GlowOfAHitFadesAfterThirtyFourDecays) {
    float glow[2] = {kHitGlow, 0.0f};
    for (int i = 0; i < 34; ++i) {
        DecayGlow(glow, 2);
        ASSERT_GT(glow[0], 0.0f) << "decay " << i + 1;
    }
    DecayGlow(glow, 2);
    EXPECT_EQ(glow[0], 0.0f);
    EXPECT_EQ(glow[1], 0.0f);
}

TEST(RainParticles, PositionBlendsThenDrifts) {
    glm::vec3 start(10, -4, 2), ball(0, 1, 0), early(0.6f, 0.8f, 0), late(0.3f, 0.5f, 0.1f);
    glm::vec3 base = start + (ball - start) * 0.25f;
    // At beat exactly 80 the late branch applies with factor 0.
    EXPECT_EQ(ParticlePosition(start, ball, 0.25f, 3.0f, 50.0f, 80.0f, early, late), base);
    ExpectVec(ParticlePosition(start, ball, 0.25f, 3.0f, 2.0f, 79.0f, early, late), base + early * 6.0f, 1e-5f);
    ExpectVec(ParticlePosition(start, ball, 0.25f, 3.0f, 2.0f, 140.0f, early, late), base + late * 180.0f, 1e-4f);
    EXPECT_EQ(ParticlePosition(start, ball, 0.0f, 0.0f, 9.0f, 10.0f, early, late), start);
    EXPECT_EQ(ParticlePosition(start, ball, 1.0f, 0.0f, 9.0f, 10.0f, early, late), ball);
}

TEST(RainFloor, CubeCentreBlendsPushesAndLifts) {
    glm::vec3 grid(-30, 0, 40), scatter(5, -3, 7);
    float length = 50.0f;
    glm::vec3 push = grid / length * (10.0f / length);
    ExpectVec(FloorCubeCenter(grid, scatter, 0.0f, 10.0f, 2.0f), scatter + push + glm::vec3(0, 2, 0), 1e-5f);
    ExpectVec(FloorCubeCenter(grid, scatter, 1.0f, 10.0f, 2.0f), grid + push + glm::vec3(0, 2, 0), 1e-5f);
    ExpectVec(FloorCubeCenter(grid, scatter, 0.5f, 0.0f, 0.0f), (grid + scatter) * 0.5f, 1e-5f);
}

TEST(RainFloor, CentreCubeGetsNoPushInsteadOfNaN) {
    Layouts l;
    glm::vec3 centre = FloorCubeCenter(l.grid[210], l.scatter[210], 1.0f, 25.0f, 3.0f);
    EXPECT_EQ(centre, glm::vec3(0, 3, 0));
    centre = FloorCubeCenter(l.grid[210], l.scatter[210], 0.0f, 25.0f, 0.0f);
    EXPECT_EQ(centre, l.scatter[210]);
}

TEST(RainFloor, CubeMatrixTurnsTheFloorAndSpinsEachCube) {
    glm::vec3 centre(6, 1, 0), spin(0, 0, 0), size(2, 2, 2);
    glm::mat4 m = FloorCubeMatrix(0.0f, centre, spin, size, 0.5f);
    ExpectVec(Translation(m), centre, 1e-5f);
    ExpectVec(glm::vec3(m * glm::vec4(1, 0, 0, 0)), {1, 0, 0}, 1e-5f);  // size 2 x scale 0.5
    // t = 90 turns the whole floor a quarter about y: x goes to -z.
    m = FloorCubeMatrix(90.0f, glm::vec3(6, 0, 0), glm::vec3(-90, -90, -90), glm::vec3(1), 1.0f);
    ExpectVec(Translation(m), {0, 0, -6}, 1e-4f);
}

TEST(CubeSnake, RainSnakeRestsOnItsHelix) {
    glm::mat4 first = SnakeCubeMatrix(SnakeVariant::Rain, 0.0f, 0.0f, 0.0f, 0.0f);
    ExpectVec(Translation(first), {0, 0, 8}, 1e-6f);
    ExpectVec(glm::vec3(first[0]), {1, 0, 0}, 1e-6f);  // scale 1, no turn
    ExpectVec(glm::vec3(first[1]), {0, 1, 0}, 1e-6f);

    float a = 0.0f;
    int cubes = 0;
    float last = 0.0f;
    for (; a < 360.0f; a += kSnakeAngleStep, ++cubes) last = a;
    EXPECT_EQ(cubes, kSnakeCubeCount);
    EXPECT_NEAR(last, 352.8f, 1e-3f);
    ExpectVec(Translation(SnakeCubeMatrix(SnakeVariant::Rain, last, 0.0f, 0.0f, 0.0f)), {-1.00f, 61.58f, 7.94f},
              0.006f);

    // At t = 0 every cube is unturned with scale |2 sin(a / 90)| + 1.
    glm::mat4 m = SnakeCubeMatrix(SnakeVariant::Rain, 180.0f, 0.0f, 0.0f, 0.0f);
    float s = std::fabs(2.0f * std::sin(2.0f)) + 1.0f;
    ExpectVec(glm::vec3(m[0]), {s, 0, 0}, 1e-5f);
    ExpectVec(glm::vec3(m[2]), {0, 0, s}, 1e-5f);
}

TEST(CubeSnake, TracksAndTimeMoveTheCubes) {
    // Speed x t slides every cube along the helix: speed 10 at t 18 is a = 180.
    ExpectVec(Translation(SnakeCubeMatrix(SnakeVariant::Rain, 0.0f, 10.0f, 5.0f, 18.0f)),
              {0.0f, 5.0f + 10.0f * 3.14159265f, -8.0f}, 1e-3f);
    // The tunnel variant winds along z around the line at height sh.
    ExpectVec(Translation(SnakeCubeMatrix(SnakeVariant::Tunnel, 0.0f, 0.0f, 2.0f, 0.0f)), {0, 10, 0}, 1e-6f);
    glm::mat4 t = SnakeCubeMatrix(SnakeVariant::Tunnel, 90.0f, 0.0f, 0.0f, 0.0f);
    ExpectVec(Translation(t), {8, 0, 10 * 1.5707963f}, 1e-4f);
    // A cube turns by (a / 90) x t degrees about the variant's axis: a 90, t 90.
    glm::mat4 turned = SnakeCubeMatrix(SnakeVariant::Tunnel, 90.0f, 0.0f, 0.0f, 90.0f);
    glm::vec3 x = glm::normalize(glm::vec3(turned[0]));
    ExpectVec(x, {0, 1, 0}, 1e-5f);
    // Bad track values give a bad matrix for that call only, never a crash.
    EXPECT_FALSE(Finite(SnakeCubeMatrix(SnakeVariant::Rain, 0.0f, kNaN, 0.0f, 1.0f)));
    EXPECT_TRUE(Finite(SnakeCubeMatrix(SnakeVariant::Rain, 0.0f, 0.0f, 0.0f, 1.0f)));
}

namespace {
// Where panel j of ring i ends up: its centre (0, 0, 1) in the panel's frame.
glm::vec3 PanelCentre(int ring, int panel, float t, float radius) {
    return glm::vec3(TunnelPanelMatrix(ring, panel, t, radius, radius) * glm::vec4(0, 0, 1, 1));
}
float AxisDistance(const glm::vec3& p) { return std::sqrt(p.x * p.x + p.y * p.y); }
float TurnDegrees(const glm::vec3& from, const glm::vec3& to) {
    float angle = std::atan2(from.x * to.y - from.y * to.x, from.x * to.x + from.y * to.y);
    return std::fabs(angle) * 57.29578f;
}
}  // namespace

TEST(Tunnel, RingDistancesAndTwistForTunnelRadius20) {
    EXPECT_EQ(TunnelRingDivisor(0), 1.0f);
    EXPECT_EQ(TunnelRingDivisor(1), 1.0f);
    EXPECT_EQ(TunnelRingDivisor(2), 2.0f);
    const struct {
        int ring;
        float distance;
        float turn;
    } cases[] = {{0, 74.0f, 20.0f}, {1, 74.0f, 20.0f}, {2, 64.0f, 10.0f}, {63, 54.3175f, 0.3175f}};
    for (const auto& c : cases) {
        glm::vec3 wide = PanelCentre(c.ring, 3, 0.0f, 20.0f);
        glm::vec3 plain = PanelCentre(c.ring, 3, 0.0f, 0.0f);
        EXPECT_NEAR(AxisDistance(wide), c.distance, 1e-3f) << "ring " << c.ring;
        EXPECT_NEAR(AxisDistance(plain), 54.0f, 1e-3f);
        EXPECT_NEAR(TurnDegrees(plain, wide), c.turn, 1e-3f) << "ring " << c.ring;
    }
}

TEST(Tunnel, RingsSpanTheAxisAndPanelsLineUp) {
    EXPECT_NEAR(PanelCentre(0, 0, 0.0f, 0.0f).z, -315.0f, 1e-3f);
    EXPECT_NEAR(PanelCentre(63, 0, 0.0f, 0.0f).z, 315.0f, 1e-3f);
    EXPECT_NEAR(PanelCentre(31, 7, 3.0f, 12.0f).z, -5.0f, 1e-3f);
    // Radius 0, t 0: panel j of every ring turned by exactly j x 11.25 degrees.
    for (int j = 0; j < kTunnelPanels; ++j) {
        glm::vec3 p0 = PanelCentre(0, j, 0.0f, 0.0f), p40 = PanelCentre(40, j, 0.0f, 0.0f);
        ASSERT_NEAR(p0.x, p40.x, 1e-3f);
        ASSERT_NEAR(p0.y, p40.y, 1e-3f);
        float turn = std::fmod(j * 11.25f, 360.0f);
        EXPECT_NEAR(TurnDegrees(PanelCentre(5, 0, 0.0f, 0.0f), p40), std::min(turn, 360.0f - turn), 1e-2f);
    }
    // One beat of effect time turns the tunnel by 8 degrees.
    EXPECT_NEAR(TurnDegrees(PanelCentre(9, 2, 0.0f, 0.0f), PanelCentre(9, 2, 1.0f, 0.0f)), 8.0f, 1e-3f);
    // A strongly negative radius puts the ring on the far side of the axis.
    glm::vec3 flipped = glm::vec3(TunnelPanelMatrix(0, 0, 0.0f, 0.0f, -100.0f) * glm::vec4(0, 0, 1, 1));
    glm::vec3 plain = PanelCentre(0, 0, 0.0f, 0.0f);
    EXPECT_NEAR(AxisDistance(flipped), 46.0f, 1e-3f);
    EXPECT_LT(glm::dot(glm::vec2(flipped), glm::vec2(plain)), 0.0f);
}

TEST(LitMesh, TablesWindCounterClockwiseTowardTheirNormals) {
    CubeMesh cube;
    PanelMesh panel;
    EXPECT_EQ(sizeof(cube.vertices), 864u);
    EXPECT_EQ(sizeof(panel.vertices), 288u);
    auto check = [](const LitVertex* v, int count, bool closed) {
        for (int i = 0; i < count; i += 3) {
            glm::vec3 a(v[i].px, v[i].py, v[i].pz), b(v[i + 1].px, v[i + 1].py, v[i + 1].pz),
                c(v[i + 2].px, v[i + 2].py, v[i + 2].pz), n(v[i].nx, v[i].ny, v[i].nz);
            ASSERT_GT(glm::dot(glm::cross(b - a, c - a), n), 0.0f) << "triangle " << i / 3;
            for (int k = 0; k < 3 && closed; ++k) ASSERT_EQ(glm::dot(glm::vec3(v[i + k].px, v[i + k].py, v[i + k].pz), n), 1.0f);
        }
    };
    check(cube.vertices, CubeMesh::kVertexCount, true);  // each face lies where its normal points
    check(panel.vertices, PanelMesh::kVertexCount, false);
    // The panel's front half is the cube's first face.
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(panel.vertices[i].px, cube.vertices[i].px);
        EXPECT_EQ(panel.vertices[i].py, cube.vertices[i].py);
        EXPECT_EQ(panel.vertices[i].nz, cube.vertices[i].nz);
    }
    EXPECT_EQ(cube.vertices[35].px, -1.0f);
    EXPECT_EQ(cube.vertices[35].py, -1.0f);
    EXPECT_EQ(cube.vertices[35].pz, -1.0f);
    EXPECT_EQ(cube.vertices[35].ny, -1.0f);
}

TEST(LitMesh, NormalMatrixKeepsNormalsPerpendicular) {
    glm::mat4 model = glm::mat4(1.0f);
    model[0][0] = 3.0f;  // stretch x
    model[3] = glm::vec4(4, 5, 6, 1);
    glm::mat4 view(1.0f);
    view[3] = glm::vec4(0, 0, -20, 1);
    glm::mat4 n = LitNormalMatrix(model, view);
    EXPECT_EQ(n, glm::transpose(glm::inverse(view * model)));
    // The surface x + y = const: tangent (1, -1, 0), normal (1, 1, 0).
    glm::vec3 tangent = glm::vec3(view * model * glm::vec4(1, -1, 0, 0));
    glm::vec3 normal = glm::mat3(n) * glm::vec3(1, 1, 0);
    EXPECT_NEAR(glm::dot(tangent, normal), 0.0f, 1e-5f);
    // A rigid motion leaves the normal matrix equal to the rotation part.
    glm::mat4 rigid = glm::mat4(1.0f);
    rigid[3] = glm::vec4(1, 2, 3, 1);
    ExpectVec(glm::mat3(LitNormalMatrix(rigid, view)) * glm::vec3(0, 0, 1), {0, 0, 1}, 1e-6f);
}

TEST(BloomSizes, TargetsAtFullHd) {
    BloomTargetSizes s = ComputeBloomTargetSizes(1920.0f, 1080.0f);
    EXPECT_EQ(s.main.width, 1920);
    EXPECT_EQ(s.main.height, 1080);
    EXPECT_TRUE(s.main.withDepth);
    EXPECT_EQ(s.blur.width, 1920);
    EXPECT_EQ(s.blur.height, 1080);
    EXPECT_TRUE(s.blur.withDepth);
    EXPECT_EQ(s.downsampled.width, 512);
    EXPECT_EQ(s.downsampled.height, 512);
    EXPECT_FALSE(s.downsampled.withDepth);
    EXPECT_EQ(s.downsampled2.width, 512);
    EXPECT_EQ(s.downsampled2.height, 512);
    EXPECT_FALSE(s.downsampled2.withDepth);
    // Truncated; sizes that are not finite and positive become 0.
    EXPECT_EQ(ComputeBloomTargetSizes(800.9f, 600.5f).main.width, 800);
    EXPECT_EQ(ComputeBloomTargetSizes(kNaN, 600.0f).main.width, 0);
    EXPECT_EQ(ComputeBloomTargetSizes(640.0f, -kInf).main.height, 0);
}
