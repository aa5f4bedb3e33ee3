// Shared look-ups of the scenes: the music position, the renderer's camera
// view matrix and its anisotropy, each safe while the owner is absent; and the
// scenes' sampler objects.
#pragma once

#include <cstdint>

#include <glm/glm.hpp>

// The music position in beats, 0 without a sync system or audio.
float MusicPosition();
// A fresh view matrix of the renderer's camera (identity without a renderer).
glm::mat4 CameraViewMatrix();
// The renderer's anisotropy for sampler objects, at least 1 (GL rejects less).
float SamplerAnisotropy();
// A new sampler object: clamped to the edge, linear magnification, the given
// minification filter and SamplerAnisotropy(). Needs a current GL context.
uint32_t MakeClampedSampler(uint32_t minFilter);
// A new handle on the named track from gSyncSystem; null without one.
struct TrackHandle;
TrackHandle* FetchTrack(const char* name);
// Deletes the caller's handle (the track stays with the device) and clears it.
void ReleaseTrack(TrackHandle*& handle);
// The track's value at the current row; 0 for a null handle (no sync system).
float ReadTrack(const TrackHandle* handle);
