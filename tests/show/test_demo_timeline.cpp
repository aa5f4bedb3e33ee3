// The demo timeline against stand-in scenes, bloom and renderer, with real
// track files read through the real sync system from a scratch folder.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "demo/TestDemo.h"
#include "tests/show/demo_doubles.h"
#include "tests/support/fake_audio.h"
#include "tests/support/recording_logger.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/track_files.h"

namespace {

class DemoTimeline : public ::testing::Test {
protected:
    void SetUp() override {
        renderer.loadingProgress = 30;
        gLogger = &logger;
        gRenderer = &renderer;
    }

    void TearDown() override {
        demo.reset();
        DestroySyncDevice(sync.device);
        sync.device = nullptr;
        gSyncSystem = nullptr;
        gRenderer = nullptr;
        gLogger = nullptr;
    }

    void Track(const std::string& name, const std::vector<TrackKey>& keys) { WriteTrackKeys(dir, name, keys); }
    // A track holding one value from the start.
    void Hold(const std::string& name, float value) { Track(name, {{0, value, Step}}); }

    // The production's line-up with stand-ins: two effects, then the bloom,
    // plus any extra post-processors.
    void MakeDemo(bool snakeInitFails = false, int extraPostProcessors = 0) {
        demo = std::make_unique<TestDemo>([=](TestDemo& d) {
            rain = new FakeEffect("Particle Rain Effect", &calls, &deleted);
            snake = new FakeEffect("Snake Scene Effect", &calls, &deleted, !snakeInitFails);
            bloom = new FakePostProcessor("Bloom", &calls, &deleted);
            d.AddEffect(rain);
            d.AddEffect(snake);
            d.AddPostProcessor(bloom);
            for (int i = 0; i < extraPostProcessors; ++i) {
                extra = new FakePostProcessor("Extra", &calls, &deleted);
                d.AddPostProcessor(extra);
            }
        });
    }

    // Starts the sync system (after the track files are written) and the demo.
    bool Start(bool snakeInitFails = false, int extraPostProcessors = 0) {
        EXPECT_TRUE(sync.Init(&clock));
        gSyncSystem = &sync;
        MakeDemo(snakeInitFails, extraPostProcessors);
        return demo->Init();
    }

    const FrameRecord& FrameAt(float beats) {
        clock.position = beats;
        EXPECT_TRUE(demo->Render());
        return renderer.frames.back();
    }

    InScratchDir dir;  // the working directory, so ./sync is the test's own
    FakeAudio clock;
    FakeRenderer renderer{&clock};
    testsupport::RecordingLogger logger;
    SyncSystem sync;
    CallLog calls;
    int deleted = 0;
    FakeEffect* rain = nullptr;
    FakeEffect* snake = nullptr;
    FakePostProcessor* bloom = nullptr;
    FakePostProcessor* extra = nullptr;
    std::unique_ptr<TestDemo> demo;
};

TEST_F(DemoTimeline, InitStartsEffectsThenBloomAndCarriesTheBarTo100) {
    ASSERT_TRUE(Start());
    EXPECT_STREQ(demo->name, "Test Demo");
    ASSERT_EQ(demo->effects.size(), 2u);
    EXPECT_EQ(demo->effects[0], rain);
    EXPECT_EQ(demo->effects[1], snake);
    ASSERT_EQ(demo->postProcessors.size(), 1u);
    EXPECT_EQ(demo->postProcessors[0], bloom);
    EXPECT_EQ(demo->effectsStarted, 2);
    EXPECT_EQ(demo->postProcessorsStarted, 1);

    EXPECT_EQ(calls, (CallLog{"Init Particle Rain Effect", "Init Snake Scene Effect", "Init Bloom"}));
    EXPECT_EQ(logger.lines, (std::vector<std::string>{"Initializing Effect: Particle Rain Effect",
                                                      "Initializing Effect: Snake Scene Effect",
                                                      "Initializing Post Processor: Bloom"}));
    ASSERT_EQ(renderer.barSteps.size(), 3u);
    EXPECT_NEAR(renderer.barSteps[0], 53.33f, 0.01f);
    EXPECT_NEAR(renderer.barSteps[1], 76.67f, 0.01f);
    EXPECT_NEAR(renderer.barSteps[2], 100.0f, 0.001f);
    EXPECT_NEAR(renderer.loadingProgress, 100.0f, 0.001f);
    EXPECT_TRUE(demo->effectIndex && demo->postProcessorIndex && demo->effectTime && demo->cameraDistance &&
                demo->cameraPitch && demo->cameraYaw && demo->cameraRoll && demo->cameraXOffset &&
                demo->cameraYOffset && demo->cameraZOffset);
}

TEST_F(DemoTimeline, EffectIndexFloorsAndIsLimitedToTheList) {
    // One beat (16 rows) per value.
    const std::vector<float> values = {0.0f, 0.999f, 1.0f, 1.999f, 7.0f, -0.5f, -3.0f, 1e30f, -1e30f};
    std::vector<TrackKey> keys;
    for (size_t i = 0; i < values.size(); ++i) keys.push_back({static_cast<int32_t>(16 * i), values[i], Step});
    Track("Effect Index", keys);
    ASSERT_TRUE(Start());

    const std::vector<IEffect*> expected = {rain, rain, snake, snake, snake, rain, rain, snake, rain};
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(FrameAt(static_cast<float>(i)).effect, expected[i]) << "Effect Index " << values[i];
}

TEST_F(DemoTimeline, NanEffectIndexSelectsTheFirstEffect) {
    Track("Effect Index", {{0, 1.0f, Step}, {16, std::numeric_limits<float>::quiet_NaN(), Step}});
    Track("PostProcessor Index", {{0, std::numeric_limits<float>::quiet_NaN(), Step}});
    ASSERT_TRUE(Start());
    EXPECT_EQ(FrameAt(0).effect, snake);
    const FrameRecord& frame = FrameAt(1);
    EXPECT_EQ(frame.effect, rain);
    EXPECT_EQ(frame.postProcessor, nullptr);
}

TEST_F(DemoTimeline, PostProcessorIndexIsOneBasedAndLimitedToTheList) {
    const std::vector<float> values = {0.0f, -3.0f, 1.0f, 1.5f, 9.0f, 0.999f};
    std::vector<TrackKey> keys;
    for (size_t i = 0; i < values.size(); ++i) keys.push_back({static_cast<int32_t>(16 * i), values[i], Step});
    Track("PostProcessor Index", keys);
    ASSERT_TRUE(Start());

    const std::vector<IPostProcessor*> expected = {nullptr, nullptr, bloom, bloom, bloom, nullptr};
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(FrameAt(static_cast<float>(i)).postProcessor, expected[i]) << "PostProcessor Index " << values[i];
    // The renderer keeps the choice until the next frame.
    EXPECT_EQ(renderer.postProcessor, nullptr);
}

TEST_F(DemoTimeline, PostProcessorIndexAboveTheCountSelectsTheLastOne) {
    Track("PostProcessor Index", {{0, 2.0f, Step}, {16, 9.0f, Step}, {32, 1.0f, Step}});
    ASSERT_TRUE(Start(false, 1));
    EXPECT_EQ(FrameAt(0).postProcessor, extra);
    EXPECT_EQ(FrameAt(1).postProcessor, extra);
    EXPECT_EQ(FrameAt(2).postProcessor, bloom);
}

TEST_F(DemoTimeline, EffectTimeHeldAtZeroNeverWritesTheClock) {
    Hold("Effect Time", 0.0f);
    ASSERT_TRUE(Start());
    EXPECT_FLOAT_EQ(FrameAt(0).timeOnEntry, 0.0f);
    EXPECT_FLOAT_EQ(FrameAt(1.5f).timeOnEntry, 0.0f);
    EXPECT_FLOAT_EQ(FrameAt(4).timeOnEntry, 1.5f);
    EXPECT_FLOAT_EQ(FrameAt(6).timeOnEntry, 4.0f);
    EXPECT_FLOAT_EQ(rain->time, 6.0f);  // the music's clock, never reset
    EXPECT_FLOAT_EQ(demo->lastEffectTime, 0.0f);
}

TEST_F(DemoTimeline, EffectTimeStepKeysJumpOnceThenLetTheClockRun) {
    // 0 until beat 1, 32 from beat 1, -1 from beat 4.
    Track("Effect Time", {{0, 0.0f, Step}, {16, 32.0f, Step}, {64, -1.0f, Step}});
    ASSERT_TRUE(Start());
    EXPECT_FLOAT_EQ(FrameAt(0.5f).timeOnEntry, 0.0f);
    EXPECT_FLOAT_EQ(FrameAt(1).timeOnEntry, 32.0f);  // the jump
    EXPECT_FLOAT_EQ(demo->lastEffectTime, 32.0f);
    EXPECT_FLOAT_EQ(FrameAt(2).timeOnEntry, 32.5f);  // runs on from 32 + 0.5
    EXPECT_FLOAT_EQ(FrameAt(3.5f).timeOnEntry, 33.5f);
    EXPECT_FLOAT_EQ(FrameAt(4).timeOnEntry, 35.0f);  // -1 is never written
    EXPECT_FLOAT_EQ(FrameAt(5).timeOnEntry, 35.5f);
    EXPECT_FLOAT_EQ(demo->lastEffectTime, 32.0f);
}

// A value that is no number of beats (infinite, or NaN) counts as not
// written: the clock runs on with the music and takes the next real value.
TEST_F(DemoTimeline, NonFiniteEffectTimeIsNotWritten) {
    const float inf = std::numeric_limits<float>::infinity();
    Track("Effect Time", {{0, 0.0f, Step}, {16, inf, Step}, {32, -inf, Step},
                          {48, std::numeric_limits<float>::quiet_NaN(), Step}, {64, 8.0f, Step}});
    ASSERT_TRUE(Start());
    EXPECT_FLOAT_EQ(FrameAt(0.5f).timeOnEntry, 0.0f);
    EXPECT_FLOAT_EQ(FrameAt(1).timeOnEntry, 0.5f);
    EXPECT_FLOAT_EQ(FrameAt(2).timeOnEntry, 1.0f);
    EXPECT_FLOAT_EQ(FrameAt(3).timeOnEntry, 2.0f);
    EXPECT_FLOAT_EQ(demo->lastEffectTime, 0.0f);
    EXPECT_FLOAT_EQ(FrameAt(4).timeOnEntry, 8.0f);
    EXPECT_FLOAT_EQ(FrameAt(5).timeOnEntry, 9.0f);
}

TEST_F(DemoTimeline, CutKeepingTheSameEffectTimeLeavesTheNewEffectsClock) {
    Track("Effect Index", {{0, 0.0f, Step}, {32, 1.0f, Step}});
    Hold("Effect Time", 5.0f);
    ASSERT_TRUE(Start());
    const FrameRecord& first = FrameAt(0);
    EXPECT_EQ(first.effect, rain);
    EXPECT_FLOAT_EQ(first.timeOnEntry, 5.0f);
    EXPECT_FLOAT_EQ(FrameAt(1).timeOnEntry, 5.0f);
    const FrameRecord& cut = FrameAt(2);
    EXPECT_EQ(cut.effect, snake);
    EXPECT_FLOAT_EQ(cut.timeOnEntry, 0.0f);  // its own clock, not the 5
    EXPECT_FLOAT_EQ(rain->time, 6.0f);      // the rain keeps where it stood
}

TEST_F(DemoTimeline, CameraFollowsItsSevenTracks) {
    Hold("Camera Distance", 40.0f);
    Hold("Camera Pitch", 20.0f);
    Hold("Camera Yaw", -35.0f);
    Hold("Camera Roll", 5.0f);
    Track("Camera X Offset", {{0, 0.0f, Linear}, {32, 10.0f, Step}});
    Hold("Camera Y Offset", 30.0f);
    Hold("Camera Z Offset", -7.5f);
    ASSERT_TRUE(Start());
    const Camera& camera = FrameAt(1).camera;
    EXPECT_FLOAT_EQ(camera.distance, 40.0f);
    EXPECT_FLOAT_EQ(camera.pitch, 20.0f);
    EXPECT_FLOAT_EQ(camera.yaw, -35.0f);
    EXPECT_FLOAT_EQ(camera.roll, 5.0f);
    EXPECT_FLOAT_EQ(camera.offset.x, 5.0f);
    EXPECT_FLOAT_EQ(camera.offset.y, 30.0f);
    EXPECT_FLOAT_EQ(camera.offset.z, -7.5f);
    // The eye translation is not the demo's to set.
    EXPECT_FLOAT_EQ(camera.eyeTranslation.z, -12.0f);
}

TEST_F(DemoTimeline, EveryTrackMissingShowsEffectZeroBareAtDistanceZero) {
    ASSERT_TRUE(Start());
    renderer.camera.distance = 12;
    renderer.camera.pitch = 45;
    renderer.camera.offset = {1, 2, 3};
    renderer.postProcessor = bloom;
    FrameAt(0);
    const FrameRecord& frame = FrameAt(2.5f);
    EXPECT_EQ(frame.effect, rain);
    EXPECT_EQ(frame.postProcessor, nullptr);
    EXPECT_FLOAT_EQ(frame.timeOnEntry, 0.0f);
    EXPECT_FLOAT_EQ(rain->time, 2.5f);  // clock from the music
    EXPECT_FLOAT_EQ(frame.camera.distance, 0.0f);
    EXPECT_FLOAT_EQ(frame.camera.pitch, 0.0f);
    EXPECT_FLOAT_EQ(frame.camera.yaw, 0.0f);
    EXPECT_FLOAT_EQ(frame.camera.roll, 0.0f);
    EXPECT_EQ(frame.camera.offset, glm::vec3(0.0f));
}

TEST_F(DemoTimeline, SnakeInitFailureStopsStartUpAndShutsDownOnlyWhatStarted) {
    EXPECT_FALSE(Start(true));
    EXPECT_EQ(demo->effectsStarted, 2);
    EXPECT_EQ(demo->postProcessorsStarted, 0);
    ASSERT_EQ(renderer.barSteps.size(), 1u);  // not advanced for the failed one
    EXPECT_NEAR(renderer.barSteps[0], 53.33f, 0.01f);
    EXPECT_EQ(logger.lines.back(), "Initializing Effect: Snake Scene Effect");

    calls.clear();
    logger.lines.clear();
    demo->Shutdown();
    EXPECT_EQ(calls, (CallLog{"Shutdown Particle Rain Effect", "Shutdown Snake Scene Effect"}));
    EXPECT_EQ(logger.lines, (std::vector<std::string>{"Shutting Down Effect: Particle Rain Effect",
                                                      "Shutting Down Effect: Snake Scene Effect"}));
    EXPECT_EQ(deleted, 3);  // the bloom was made, never started, and is gone too
}

TEST_F(DemoTimeline, ShutdownReleasesTracksShutsDownInOrderAndDeletesTheObjects) {
    ASSERT_TRUE(Start());
    FrameAt(0);
    renderer.postProcessor = bloom;
    calls.clear();
    logger.lines.clear();
    demo->Shutdown();
    EXPECT_EQ(calls, (CallLog{"Shutdown Particle Rain Effect", "Shutdown Snake Scene Effect", "Shutdown Bloom"}));
    EXPECT_EQ(logger.lines, (std::vector<std::string>{"Shutting Down Effect: Particle Rain Effect",
                                                      "Shutting Down Effect: Snake Scene Effect",
                                                      "Shutting Down Post Processor: Bloom"}));
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(renderer.postProcessor, nullptr);  // the bloom it drew through is gone
    EXPECT_TRUE(demo->effects.empty());
    EXPECT_TRUE(demo->postProcessors.empty());
    EXPECT_EQ(demo->effectIndex, nullptr);
    EXPECT_EQ(demo->cameraZOffset, nullptr);
    // A second Shutdown finds nothing left to do.
    calls.clear();
    demo->Shutdown();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(deleted, 3);
}

TEST_F(DemoTimeline, NamelessObjectsAreLoggedAsUnknown) {
    ASSERT_TRUE(sync.Init(&clock));
    gSyncSystem = &sync;
    demo = std::make_unique<TestDemo>([this](TestDemo& d) {
        auto* effect = new FakeEffect("x", &calls, &deleted);
        effect->name = nullptr;
        auto* post = new FakePostProcessor("y", &calls, &deleted);
        post->name = nullptr;
        d.AddEffect(effect);
        d.AddPostProcessor(post);
    });
    ASSERT_TRUE(demo->Init());
    demo->Shutdown();
    EXPECT_EQ(logger.lines, (std::vector<std::string>{"Initializing Effect: Unknown Effect",
                                                      "Initializing Post Processor: Unknown Post Processing Effect",
                                                      "Shutting Down Effect: Unknown Effect",
                                                      "Shutting Down Post Processor: Unknown Post Processing Effect"}));
    ASSERT_EQ(renderer.barSteps.size(), 2u);
    EXPECT_NEAR(renderer.barSteps[0], 65.0f, 0.001f);
}

TEST_F(DemoTimeline, NoEffectsFailsStartUpInsteadOfDrawingNothing) {
    ASSERT_TRUE(sync.Init(&clock));
    gSyncSystem = &sync;
    demo = std::make_unique<TestDemo>([](TestDemo&) {});
    EXPECT_FALSE(demo->Init());
    EXPECT_EQ(logger.lines.back().rfind("ERROR: ", 0), 0u);
    EXPECT_FALSE(demo->Render());
    EXPECT_TRUE(renderer.frames.empty());
    demo->Shutdown();
}

}  // namespace
