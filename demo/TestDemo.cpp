// TestDemo: fetches the ten timeline tracks, creates and starts the scenes
// and the bloom (carrying the loading bar to 100), picks effect,
// post-processor, effect clock and camera from the tracks every frame, and
// shuts down exactly the objects whose Init was called.
// Limits: a negative "Effect Index" selects the first effect; a NaN index
// reads as 0; a demo built without effects fails Init and draws nothing.
#include "demo/TestDemo.h"

#include <climits>
#include <cmath>

#include "core/Log.h"
#include "demo/Bloom.h"
#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "demo/ParticleRain.h"
#include "demo/SnakeScene.h"
#include "render/IRenderer.h"

namespace {

// The production's objects, in the order the index tracks select them.
void BuildProductionParts(TestDemo& demo) {
    demo.AddEffect(new ParticleRain);
    demo.AddEffect(new SnakeScene);
    demo.AddPostProcessor(new Bloom);
}

// A track's value; 0 for a handle that could not be made.
float Read(const TrackHandle* handle) { return handle && handle->track ? GetTrackValue(handle) : 0.0f; }

// floor(value) as an integer, saturated at the int range; NaN reads as 0.
int FloorIndex(float value) {
    if (std::isnan(value)) return 0;
    double floored = std::floor(static_cast<double>(value));
    if (floored >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (floored <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(floored);
}

TrackHandle* Fetch(const char* name) { return gSyncSystem ? gSyncSystem->GetTrack(name) : nullptr; }

void Release(TrackHandle*& handle) {
    delete handle;
    handle = nullptr;
}

}  // namespace

TestDemo::TestDemo() : TestDemo(BuildProductionParts) {}

TestDemo::TestDemo(PartsBuilder builder) : buildParts(std::move(builder)) { name = "Test Demo"; }

TestDemo::~TestDemo() {
    ReleaseTracks();
    DeleteParts();
}

bool TestDemo::Init() {
    effectIndex = Fetch("Effect Index");
    postProcessorIndex = Fetch("PostProcessor Index");
    effectTime = Fetch("Effect Time");
    cameraDistance = Fetch("Camera Distance");
    cameraPitch = Fetch("Camera Pitch");
    cameraYaw = Fetch("Camera Yaw");
    cameraRoll = Fetch("Camera Roll");
    cameraXOffset = Fetch("Camera X Offset");
    cameraYOffset = Fetch("Camera Y Offset");
    cameraZOffset = Fetch("Camera Z Offset");

    if (buildParts) buildParts(*this);
    if (effects.empty()) {
        LogError("The demo has no effects to show!");
        return false;
    }

    float progress = gRenderer ? gRenderer->loadingProgress : 0.0f;
    const float step = (100.0f - progress) / static_cast<float>(effects.size() + postProcessors.size());
    auto advanceBar = [&] {
        progress += step;
        if (!gRenderer) return;
        gRenderer->loadingProgress = progress;
        gRenderer->DrawLoadingBar();
    };

    for (IEffect* effect : effects) {
        LogPair("Initializing Effect: ", effect->name ? effect->name : "Unknown Effect");
        ++effectsStarted;
        if (!effect->Init()) return false;
        advanceBar();
    }
    for (IPostProcessor* postProcessor : postProcessors) {
        LogPair("Initializing Post Processor: ",
                postProcessor->name ? postProcessor->name : "Unknown Post Processing Effect");
        ++postProcessorsStarted;
        if (!postProcessor->Init()) return false;
        advanceBar();
    }
    return true;
}

void TestDemo::Shutdown() {
    ReleaseTracks();

    for (int32_t i = 0; i < effectsStarted && i < static_cast<int32_t>(effects.size()); ++i) {
        IEffect* effect = effects[i];
        LogPair("Shutting Down Effect: ", effect->name ? effect->name : "Unknown Effect");
        effect->Shutdown();
    }
    for (int32_t i = 0; i < postProcessorsStarted && i < static_cast<int32_t>(postProcessors.size()); ++i) {
        IPostProcessor* postProcessor = postProcessors[i];
        LogPair("Shutting Down Post Processor: ",
                postProcessor->name ? postProcessor->name : "Unknown Post Processing Effect");
        postProcessor->Shutdown();
    }
    // The objects are finished with; the counters keep what was started.
    DeleteParts();
}

bool TestDemo::Render() {
    int effectSlot = FloorIndex(Read(effectIndex));
    int postSlot = FloorIndex(Read(postProcessorIndex));
    const float time = Read(effectTime);

    if (effects.empty() || !gRenderer) return false;
    const int effectCount = static_cast<int>(effects.size());
    const int postCount = static_cast<int>(postProcessors.size());
    if (effectSlot > effectCount - 1) effectSlot = effectCount - 1;
    if (effectSlot < 0) effectSlot = 0;  // nothing lies before the first effect
    if (postSlot > postCount) postSlot = postCount;

    IEffect* effect = effects[effectSlot];
    // A non-finite value would stay in the effect's clock for good: it counts
    // as not written, like a negative one.
    if (time != lastEffectTime && time >= 0.0f && std::isfinite(time)) {
        effect->time = time;
        lastEffectTime = time;
    }

    gRenderer->postProcessor = postSlot > 0 ? postProcessors[postSlot - 1] : nullptr;

    Camera* camera = gRenderer->GetCamera();
    camera->distance = Read(cameraDistance);
    const float z = Read(cameraZOffset);
    const float y = Read(cameraYOffset);
    const float x = Read(cameraXOffset);
    camera->offset = {x, y, z};
    const float roll = Read(cameraRoll);
    const float yaw = Read(cameraYaw);
    const float pitch = Read(cameraPitch);
    camera->pitch = pitch;
    camera->yaw = yaw;
    camera->roll = roll;

    return gRenderer->RenderFrame(effect);
}

void TestDemo::Rewind() {
    lastEffectTime = 0;
    for (IEffect* effect : effects) effect->Rewind();
}

void TestDemo::ReleaseTracks() {
    TrackHandle** handles[] = {&effectIndex,   &postProcessorIndex, &effectTime,    &cameraDistance, &cameraPitch,
                               &cameraYaw,     &cameraRoll,         &cameraXOffset, &cameraYOffset,  &cameraZOffset};
    for (TrackHandle** handle : handles) Release(*handle);
}

void TestDemo::DeleteParts() {
    // The renderer must not keep drawing through a post-processor deleted here.
    if (gRenderer)
        for (IPostProcessor* postProcessor : postProcessors)
            if (gRenderer->postProcessor == postProcessor) gRenderer->postProcessor = nullptr;
    for (auto& destroy : deleters) destroy();
    deleters.clear();
    effects.clear();
    postProcessors.clear();
}
