// The music position, the camera view, the anisotropy and sampler objects, as the scenes use them.
#include "demo/SceneContext.h"

#include "audio/IDemoAudioSystem.h"
#include "render/IRenderer.h"
#include "render/gl.h"
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

uint32_t MakeClampedSampler(uint32_t minFilter) {
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, SamplerAnisotropy());
    return sampler;
}

TrackHandle* FetchTrack(const char* name) { return gSyncSystem ? gSyncSystem->GetTrack(name) : nullptr; }

void ReleaseTrack(TrackHandle*& handle) {
    delete handle;
    handle = nullptr;
}

float ReadTrack(const TrackHandle* handle) {
    return handle && handle->track ? GetTrackValue(handle) : 0.0f;
}
