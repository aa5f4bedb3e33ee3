// The choreography as the player will see it: production/show.sync compiled
// by the real synctool, every track evaluated at every row of the song with
// the real track evaluation, and the scenes' geometry checked against the
// camera so that nothing is hidden or off-screen by accident.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include "render/Camera.h"
#include "sync/SyncSystem.h"
#include "sync/TrackFile.h"
#include "tests/support/scratch_dir.h"
#include "tools/songform/SongForm.h"

namespace {

const char* const kTrackNames[] = {
    "Effect Index", "PostProcessor Index", "Effect Time", "Camera Distance", "Camera Pitch", "Camera Yaw",
    "Camera Roll", "Camera X Offset", "Camera Y Offset", "Camera Z Offset", "Fade", "Bloom Dry", "Bloom Wet",
    "Exposure", "Bloom Cutoff", "Flash", "Vignette", "RandToBall", "DriftSpeed", "BallRadius", "ParticleGlow",
    "Floor Height", "Floor Hole", "Floor Scale", "RandToFloor", "Snake Height", "Snake Speed", "Tunnel Radius"};

constexpr int kRowsPerBeat = 16;
constexpr float kDegrees = 0.017453292f;

// The song's last section end, in beats (0 when the form does not load).
double SongEndBeat() {
    SongForm form;
    std::vector<std::string> errors;
    return LoadSongForm(std::string(TESSEL_SOURCE_DIR) + "/production/song_sections.txt", form, errors)
               ? form.EndBeat()
               : 0.0;
}

// One row of the show: every track's value plus the scenes' clocks as the
// demo and the renderer would carry them from row to row.
struct Row {
    double beat = 0;
    std::map<std::string, float> v;
    int effect = 0;
    float clock = 0;  // the clock of the effect on screen
};

class Choreography : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ScratchDir dir;
        const std::string command = std::string("\"") + TESSEL_SYNCTOOL + "\" compile --sections \"" +
                                    TESSEL_SOURCE_DIR + "/production/song_sections.txt\" -o \"" + dir.path() +
                                    "/sync\" \"" + TESSEL_SOURCE_DIR + "/production/show.sync\" 2>&1";
        compileStatus = std::system(command.c_str());
        for (const char* name : kTrackNames) {
            std::string bytes;
            if (!ReadWholeFile(dir.path() + "/sync/" + TrackFileName(name), &bytes)) continue;
            SyncTrack track;
            track.name = name;
            track.keys = ParseTrackBytes(bytes).keys;
            track.numKeys = static_cast<int32_t>(track.keys.size());
            tracks[name] = track;
        }
        BuildRows();
    }

    // Evaluates every track at every row and runs the effect clocks: a value
    // of "Effect Time" that changed and is not negative is written into the
    // effect on screen, then every frame adds the music's advance.
    static void BuildRows() {
        rows.clear();
        const int lastRow = static_cast<int>(SongEndBeat() * kRowsPerBeat);
        float clocks[2] = {0, 0};
        float lastEffectTime = 0;
        for (int r = 0; r < lastRow; ++r) {
            Row row;
            row.beat = static_cast<double>(r) / kRowsPerBeat;
            for (auto& [name, track] : tracks) row.v[name] = GetValue(&track, r);
            row.effect = std::clamp(static_cast<int>(std::floor(row.v["Effect Index"])), 0, 1);
            const float time = row.v["Effect Time"];
            if (time != lastEffectTime && time >= 0) {
                clocks[row.effect] = time;
                lastEffectTime = time;
            }
            if (r > 0) clocks[row.effect] += 1.0f / kRowsPerBeat;
            row.clock = clocks[row.effect];
            rows.push_back(row);
        }
    }

    static Camera CameraAt(const Row& row) {
        Camera camera;
        camera.distance = row.v.at("Camera Distance");
        camera.pitch = row.v.at("Camera Pitch");
        camera.yaw = row.v.at("Camera Yaw");
        camera.roll = row.v.at("Camera Roll");
        camera.offset = {row.v.at("Camera X Offset"), row.v.at("Camera Y Offset"), row.v.at("Camera Z Offset")};
        return camera;
    }

    // Whether a world point lands inside the 16:9 picture, in front of the eye.
    static bool OnScreen(const Camera& camera, const glm::vec3& point) {
        glm::mat4 view;
        camera.ViewMatrix(view);
        const glm::mat4 projection = glm::perspective(glm::radians(60.0f), 16.0f / 9.0f, 1.0f, 10000.0f);
        const glm::vec4 clip = projection * view * glm::vec4(point, 1.0f);
        if (clip.w <= 1.0f) return false;
        return std::fabs(clip.x / clip.w) < 1.0f && std::fabs(clip.y / clip.w) < 1.0f && clip.z / clip.w < 1.0f;
    }

    static glm::vec3 EyeAt(const Camera& camera) {
        glm::mat4 view;
        camera.ViewMatrix(view);
        return glm::vec3(glm::inverse(view) * glm::vec4(0, 0, 0, 1));
    }

    // The 50 cube centres of the snake in the rain (around y) or the tunnel (along z).
    static std::vector<glm::vec3> SnakeCubes(const Row& row, bool tunnel) {
        std::vector<glm::vec3> cubes;
        const float speed = row.v.at("Snake Speed");
        const float height = row.v.at("Snake Height");
        for (float a = 0; a < 360.0f; a += 7.2f) {
            const float theta = (speed * row.clock + a) * kDegrees;
            const float s = std::sin(theta), c = std::cos(theta);
            cubes.push_back(tunnel ? glm::vec3(8 * s, height + 8 * c, 10 * theta)
                                   : glm::vec3(8 * s, height + 10 * theta, 8 * c));
        }
        return cubes;
    }

    static int CountOnScreen(const Camera& camera, const std::vector<glm::vec3>& points) {
        int count = 0;
        for (const glm::vec3& p : points) count += OnScreen(camera, p) ? 1 : 0;
        return count;
    }

    static inline int compileStatus = -1;
    static inline std::map<std::string, SyncTrack> tracks;
    static inline std::vector<Row> rows;
};

TEST_F(Choreography, CompilesIntoAllTwentyEightSortedTracks) {
    ASSERT_EQ(compileStatus, 0);
    for (const char* name : kTrackNames) {
        ASSERT_TRUE(tracks.count(name)) << "missing track " << name;
        const SyncTrack& track = tracks.at(name);
        EXPECT_GT(track.numKeys, 0) << name;
        EXPECT_TRUE(RowsStrictlyIncreasing(track.keys)) << name;
        for (const TrackKey& key : track.keys) {
            EXPECT_TRUE(std::isfinite(key.value)) << name << " row " << key.row;
            EXPECT_TRUE(key.type >= 0 && key.type <= 3) << name << " row " << key.row;
        }
    }
    EXPECT_EQ(rows.size(), static_cast<size_t>(SongEndBeat() * kRowsPerBeat));
}

TEST_F(Choreography, RainFirstThenTheTunnelWithTheBloomThroughout) {
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().effect, 0);
    bool cutToTunnel = false;
    bool timeJump = false;
    float lastTime = 0;
    for (const Row& row : rows) {
        const float index = row.v.at("Effect Index");
        ASSERT_TRUE(index >= 0 && index < 2) << "beat " << row.beat;
        // Fade, flash and vignette live in the bloom's mix: it must stay on.
        ASSERT_EQ(std::floor(row.v.at("PostProcessor Index")), 1.0f) << "beat " << row.beat;
        if (row.effect == 1) cutToTunnel = true;
        const float time = row.v.at("Effect Time");
        if (time != lastTime && time >= 0) timeJump = true;
        lastTime = time;
    }
    EXPECT_TRUE(cutToTunnel);
    EXPECT_TRUE(timeJump) << "no \"Effect Time\" jump";
    // The second theme is the tunnel's.
    EXPECT_EQ(rows[128 * kRowsPerBeat].effect, 1);
    EXPECT_EQ(rows[96 * kRowsPerBeat].effect, 0);
}

TEST_F(Choreography, FadesInAndOutAndNeverHidesTheMiddle) {
    ASSERT_FALSE(rows.empty());
    EXPECT_GT(rows.front().v.at("Fade"), 0.9f) << "starts from black";
    EXPECT_GT(rows.back().v.at("Fade"), 0.9f) << "ends in black";
    int whiteRun = 0;
    for (const Row& row : rows) {
        const float fade = row.v.at("Fade"), flash = row.v.at("Flash");
        ASSERT_TRUE(fade >= 0 && fade <= 1) << "beat " << row.beat;
        ASSERT_TRUE(flash >= 0 && flash <= 0.85f) << "all-white frame at beat " << row.beat;
        if (row.beat >= 16 && row.beat < 240) {
            ASSERT_LT(fade, 0.05f) << "faded mid-show at beat " << row.beat;
        }
        // A flash dies away within a beat.
        whiteRun = flash >= 0.5f ? whiteRun + 1 : 0;
        ASSERT_LE(whiteRun, kRowsPerBeat) << "flash held at beat " << row.beat;
    }
}

TEST_F(Choreography, BloomMixStaysVisible) {
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "beat " << row.beat);
        const float dry = row.v.at("Bloom Dry"), wet = row.v.at("Bloom Wet");
        ASSERT_GE(dry, 0.7f);
        ASSERT_LE(dry, 1.0f);
        ASSERT_GE(wet, 0.2f);
        ASSERT_LE(wet, 1.5f);
        ASSERT_GE(row.v.at("Exposure"), 0.8f);
        ASSERT_LE(row.v.at("Exposure"), 1.5f);
        ASSERT_GE(row.v.at("Bloom Cutoff"), 0.3f);  // lower lets everything glow into white
        ASSERT_LE(row.v.at("Bloom Cutoff"), 0.9f);
        ASSERT_GE(row.v.at("Vignette"), 0.0f);
        ASSERT_LE(row.v.at("Vignette"), 0.85f);
    }
}

TEST_F(Choreography, ParticleRainIsFramedAndItsValuesSane) {
    int ballRows = 0, snakeRows = 0, rainRows = 0;
    for (const Row& row : rows) {
        if (row.effect != 0 || row.v.at("Fade") > 0.5f) continue;
        SCOPED_TRACE(testing::Message() << "beat " << row.beat);
        ++rainRows;
        ASSERT_GT(row.v.at("Floor Scale"), 0.2f);  // 0 or less hides the floor
        ASSERT_LE(row.v.at("Floor Scale"), 2.0f);
        const float toFloor = row.v.at("RandToFloor"), toBall = row.v.at("RandToBall");
        ASSERT_TRUE(toFloor >= 0 && toFloor <= 1);
        ASSERT_TRUE(toBall >= 0 && toBall <= 1);
        ASSERT_TRUE(row.v.at("BallRadius") >= 8 && row.v.at("BallRadius") <= 30);
        ASSERT_TRUE(row.v.at("Floor Hole") >= 0 && row.v.at("Floor Hole") <= 100);
        ASSERT_TRUE(row.v.at("Floor Height") >= -40 && row.v.at("Floor Height") <= 10);
        ASSERT_TRUE(row.v.at("DriftSpeed") >= 0 && row.v.at("DriftSpeed") <= 0.5f);
        // The drift after beat 80 grows with the music: keep it within the picture.
        if (row.beat >= 80) {
            ASSERT_LE(row.v.at("DriftSpeed") * (row.beat - 80), 20.0);
        }

        const Camera camera = CameraAt(row);
        ASSERT_GT(12 + camera.distance, 20.0f) << "eye inside the scene";
        ASSERT_LT(12 + camera.distance, 150.0f) << "scene too far to see";
        // The floor's centre, or the ball once gathered, stays in the picture.
        ASSERT_TRUE(OnScreen(camera, {0, row.v.at("Floor Height"), 0}) || OnScreen(camera, {0, 0, 0}));
        if (toBall > 0.5f) {
            ++ballRows;
            ASSERT_TRUE(OnScreen(camera, {0, 0, 0})) << "ball off-camera";
        }
        if (row.beat >= 64 && CountOnScreen(camera, SnakeCubes(row, false)) >= 10) ++snakeRows;
    }
    EXPECT_GT(rainRows, 0);
    EXPECT_GT(ballRows, 40 * kRowsPerBeat) << "the ball is hardly shown";
    // Once risen, the snake is in the picture nearly all the time.
    EXPECT_GT(snakeRows, 70 * kRowsPerBeat);
}

TEST_F(Choreography, SnakeTunnelKeepsTheEyeInsideAndTheSnakeInView) {
    int tunnelRows = 0;
    float smallestPulse = 1e9f, largestPulse = -1e9f;
    for (const Row& row : rows) {
        if (row.effect != 1) continue;
        SCOPED_TRACE(testing::Message() << "beat " << row.beat);
        ++tunnelRows;
        const float radius = row.v.at("Tunnel Radius");
        smallestPulse = std::min(smallestPulse, radius);
        largestPulse = std::max(largestPulse, radius);
        ASSERT_GE(radius, 0.0f) << "negative radius turns the panels inside out";
        ASSERT_LE(radius, 1000.0f);

        const Camera camera = CameraAt(row);
        const glm::vec3 eye = EyeAt(camera);
        // The rings stand 54 from the z axis, from z -315 to 315.
        ASSERT_LT(std::hypot(eye.x, eye.y), 40.0f) << "eye outside the tunnel";
        ASSERT_GT(eye.z, -300.0f);
        ASSERT_LT(eye.z, 300.0f);
        const std::vector<glm::vec3> snake = SnakeCubes(row, true);
        for (const glm::vec3& cube : snake) {
            ASSERT_LT(std::hypot(cube.x, cube.y), 45.0f) << "snake in the wall";
            // A cube is up to 6 across and spins: closer than this it fills the picture.
            ASSERT_GT(glm::length(cube - eye), 25.0f) << "snake cube at the lens";
        }
        if (row.v.at("Fade") < 0.5f) {
            ASSERT_GE(CountOnScreen(camera, snake), 10) << "snake off-camera";
        }
    }
    EXPECT_GT(tunnelRows, 64 * kRowsPerBeat);
    EXPECT_GT(largestPulse - smallestPulse, 100.0f) << "the tunnel does not pulse";
}

}  // namespace
