// The engine's frame and message handling through doubles of the music
// player and the demo, with a scripted tick source and a recording sleeper.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Engine.h"
#include "demo/IDemo.h"
#include "tests/show/demo_doubles.h"
#include "tests/support/fake_audio.h"

namespace {

std::vector<std::string> gJournal;
std::vector<uint32_t> gTicks;
size_t gNextTick = 0;
std::vector<uint32_t> gSleeps;

uint32_t ScriptedTick() { return gNextTick < gTicks.size() ? gTicks[gNextTick++] : gTicks.back(); }
void RecordSleep(uint32_t ms) { gSleeps.push_back(ms); }

// The music player with the calls the engine's order is judged by journaled.
class JournalAudio final : public FakeAudio {
public:
    void Shutdown() override { gJournal.push_back("audio shutdown"); }
    void SetListenerPosition(float, float, float) override { gJournal.push_back("listener"); }
    void Stop() override { gJournal.push_back("audio stop"); }
    bool IsPlaying() override {
        gJournal.push_back("is playing");
        return FakeAudio::IsPlaying();
    }
};

class FakeDemo final : public IDemo {
public:
    bool Init() override { return true; }
    void Shutdown() override {}
    bool Render() override {
        gJournal.push_back("render");
        return true;
    }
};

// A demo that owns its post-processor, as the production's does.
class OwningDemo final : public IDemo {
public:
    explicit OwningDemo(FakePostProcessor* bloom) : bloom(bloom) { postProcessors.push_back(bloom); }
    ~OwningDemo() override {
        delete bloom;
        gJournal.push_back("demo deleted");
    }
    bool Init() override { return true; }
    void Shutdown() override { gJournal.push_back("demo shutdown"); }
    bool Render() override { return true; }

private:
    FakePostProcessor* bloom;
};

// Journals whether it still points at a post-processor when it is shut down.
class JournalRenderer final : public FakeRenderer {
public:
    JournalRenderer() : FakeRenderer(nullptr) {}
    void Shutdown() override {
        gJournal.push_back(postProcessor ? "renderer shutdown, post-processor set" : "renderer shutdown");
    }
};

class EngineFrame : public ::testing::Test {
protected:
    void SetUp() override {
        gJournal.clear();
        gTicks.clear();
        gNextTick = 0;
        gSleeps.clear();
        engine.tickSource = ScriptedTick;
        engine.sleeper = RecordSleep;
        engine.audio = &audio;
        engine.demo = &demo;
        engine.frameBudget = 16.67f;
        DrainQueue();
    }
    void TearDown() override {
        engine.audio = nullptr;
        engine.demo = nullptr;
        DrainQueue();
    }
    static bool QuitPosted() {
        platform::Message message;
        bool quit = false;
        while (platform::PeekMessage(&message))
            if (message.message == platform::WM_QUIT) quit = true;
        return quit;
    }
    static void DrainQueue() { QuitPosted(); }

    // One frame whose work took `workMs` (split over the music check and the render).
    void FrameTaking(uint32_t start, uint32_t checkMs, uint32_t renderMs) {
        gTicks = {start, start + checkMs, start + checkMs + renderMs, start + checkMs + renderMs};
        gNextTick = 0;
        engine.RunFrame();
    }

    Engine engine;
    JournalAudio audio;
    FakeDemo demo;
};

}  // namespace

TEST_F(EngineFrame, SleepsWhatIsLeftOfTheBudgetInWholeMilliseconds) {
    FrameTaking(100, 0, 0);
    FrameTaking(200, 1, 2);
    FrameTaking(300, 6, 10);  // 16 ms of work: 0.67 ms left, truncated
    FrameTaking(400, 0, 17);  // over budget: no sleep at all
    FrameTaking(500, 30, 0);
    EXPECT_EQ(gSleeps, (std::vector<uint32_t>{16, 13, 0}));
    EXPECT_FALSE(QuitPosted());
}

TEST_F(EngineFrame, ListenerThenRenderWhileTheMusicPlays) {
    FrameTaking(100, 0, 0);
    EXPECT_EQ(gJournal, (std::vector<std::string>{"is playing", "listener", "render"}));
    EXPECT_EQ(engine.framesThisSecond, 1);
}

TEST_F(EngineFrame, MusicAtItsEndQuitsWithoutDrawingOrSleeping) {
    audio.playing = false;
    FrameTaking(100, 0, 0);
    EXPECT_EQ(gJournal, (std::vector<std::string>{"is playing"}));
    EXPECT_TRUE(gSleeps.empty());
    EXPECT_EQ(gNextTick, 1u);  // only t0 was read
    EXPECT_TRUE(QuitPosted());
}

TEST_F(EngineFrame, CounterResetsOnceASecondHasPassed) {
    engine.lastCounterTime = 0;
    for (uint32_t t = 0; t < 999; t += 100) FrameTaking(t, 0, 0);
    EXPECT_EQ(engine.framesThisSecond, 10);
    // This frame ends the interval; the reset time is read afresh.
    gTicks = {1000, 1000, 1000, 1000, 1003};
    gNextTick = 0;
    engine.RunFrame();
    EXPECT_EQ(engine.framesThisSecond, 0);
    EXPECT_FLOAT_EQ(engine.lastCounterTime, 1003.0f);
    FrameTaking(1500, 0, 0);
    EXPECT_EQ(engine.framesThisSecond, 1);
}

TEST_F(EngineFrame, LowercaseFTogglesTheCounterAndOthersDoNot) {
    EXPECT_FALSE(engine.showFrameCounter);
    engine.HandleMessage(nullptr, platform::WM_CHAR, 'F', 0);
    EXPECT_FALSE(engine.showFrameCounter);
    engine.HandleMessage(nullptr, platform::WM_CHAR, 'f', 0);
    EXPECT_TRUE(engine.showFrameCounter);
    engine.HandleMessage(nullptr, platform::WM_CHAR, 0x166, 0);  // low byte 'f'
    EXPECT_FALSE(engine.showFrameCounter);
    engine.HandleMessage(nullptr, platform::WM_KEYDOWN, 'F', 0);
    EXPECT_FALSE(engine.showFrameCounter);
    EXPECT_FALSE(QuitPosted());
}

TEST_F(EngineFrame, EscapeQuitsAndOtherKeysDoNothing) {
    EXPECT_EQ(engine.HandleMessage(nullptr, platform::WM_KEYDOWN, 'A', 0), 0);
    EXPECT_FALSE(QuitPosted());
    EXPECT_EQ(engine.HandleMessage(nullptr, platform::WM_KEYDOWN, platform::VK_ESCAPE, 0), 0);
    EXPECT_TRUE(QuitPosted());
}

TEST_F(EngineFrame, KeyHandlerSeesKeysFirstAndWhatItLeavesReachesTheEngine) {
    std::vector<std::pair<platform::MessageId, platform::WParam>> seen;
    engine.keyHandler = [&](platform::MessageId message, platform::WParam key) {
        seen.emplace_back(message, key);
        return key == 'f' || key == platform::VK_SPACE;
    };
    engine.HandleMessage(nullptr, platform::WM_CHAR, 'f', 0);
    EXPECT_FALSE(engine.showFrameCounter) << "taken by the handler";
    engine.HandleMessage(nullptr, platform::WM_KEYDOWN, platform::VK_SPACE, 0);
    engine.HandleMessage(nullptr, platform::WM_KEYDOWN, platform::VK_ESCAPE, 0);
    EXPECT_TRUE(QuitPosted()) << "left to the engine";
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(platform::WM_CHAR, platform::WParam('f')));
    EXPECT_EQ(seen[1], std::make_pair(platform::WM_KEYDOWN, platform::VK_SPACE));
    EXPECT_EQ(seen[2], std::make_pair(platform::WM_KEYDOWN, platform::VK_ESCAPE));
}

TEST_F(EngineFrame, SizeAndMoveBeforeTheWindowExistsChangeNothing) {
    engine.clientWidth = 7;
    engine.clientHeight = 9;
    engine.HandleMessage(nullptr, platform::WM_SIZE, 0, 0);
    engine.HandleMessage(nullptr, platform::WM_MOVE, 0, 0);
    EXPECT_EQ(engine.clientWidth, 7);
    EXPECT_EQ(engine.clientHeight, 9);
}

TEST(EngineShutdown, AfterALogThatNeverOpenedWritesNothingAndStopsTheMusic) {
    gJournal.clear();
    Engine engine;
    JournalAudio* audio = new JournalAudio;  // the engine deletes what it owns
    engine.audio = audio;
    engine.Shutdown();
    EXPECT_EQ(gJournal, (std::vector<std::string>{"audio stop", "audio shutdown"}));
    EXPECT_EQ(engine.audio, nullptr);
    EXPECT_EQ(engine.logger, nullptr);
    Engine untouched;
    untouched.Shutdown();  // nothing was created: nothing to do
}

TEST(EngineShutdown, DeletesTheDemoThroughItsInterfaceAndForgetsItsPostProcessor) {
    gJournal.clear();
    CallLog calls;
    int deleted = 0;
    auto* bloom = new FakePostProcessor("Bloom", &calls, &deleted);
    Engine engine;
    engine.renderer = new JournalRenderer;  // the engine deletes what it owns
    engine.renderer->postProcessor = bloom;
    engine.demo = new OwningDemo(bloom);
    engine.Shutdown();
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(gJournal, (std::vector<std::string>{"demo shutdown", "demo deleted", "renderer shutdown"}));
    EXPECT_EQ(engine.demo, nullptr);
}
