// The music position, the camera view and the anisotropy, as the scenes read them.
#include "demo/SceneContext.h"

#include "audio/IDemoAudioSystem.h"
#include "render/IRenderer.h"
#include "sync/SyncSystem.h"

float MusicPosition() {
    if (!gSyncSystem || !gSyncSystem->audio) return 0.0f;
    return gSyncSystem->audio->GetPosition();
}

glm::mat4 CameraViewMatrix() {
    glm::mat4 view(1.0f);
    if (gRenderer) gRenderer->GetCamera()->ViewMatrix(view);
    return view;
}

float SamplerAnisotropy() {
    float value = gRenderer ? gRenderer->maxAnisotropy : 1.0f;
    return value >= 1.0f ? value : 1.0f;  // also maps NaN to 1
}

TrackHandle* FetchTrack(const char* name) { return gSyncSystem ? gSyncSystem->GetTrack(name) : nullptr; }

void ReleaseTrack(TrackHandle*& handle) {
    delete handle;
    handle = nullptr;
}

float ReadTrack(const TrackHandle* handle) {
    return handle && handle->track ? GetTrackValue(handle) : 0.0f;
}
