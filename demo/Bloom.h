// Bloom: the post-processor. The effect draws into a window-sized target; the
// bright parts are extracted (high pass), shrunk to 512 x 512, blurred once
// horizontally and once vertically, enlarged again and mixed with the sharp
// scene onto the window under seven tracks (cutoff, dry, wet, exposure, fade,
// flash, vignette). Targets keep their creation size after a window resize.
#pragma once

#include <cstdint>

#include "demo/IPostProcessor.h"
#include "render/RenderTarget.h"
#include "render/ShaderProgram.h"

struct TrackHandle;

constexpr int kBloomGlowSize = 512;

struct BloomTargetSize {
    int width = 0;
    int height = 0;
    bool withDepth = false;
};

struct BloomTargetSizes {
    BloomTargetSize main, blur, downsampled, downsampled2;
};

// The four targets' sizes for a renderer of this size (truncated; a size
// that is not a finite positive number gives 0, which Create refuses).
BloomTargetSizes ComputeBloomTargetSizes(float rendererWidth, float rendererHeight);

class Bloom final : public IPostProcessor {
public:
    Bloom();
    bool Init() override;
    void Begin() override;
    void Render(float time) override;
    void Shutdown() override;

    RenderTarget downsampledTarget;
    RenderTarget downsampled2Target;
    RenderTarget blurTarget;
    uint32_t secondSampler = 0;
    int32_t texSampler2Location = 0;
    int32_t fadeLocation = 0;
    int32_t bloomDryLocation = 0;
    int32_t bloomWetLocation = 0;
    int32_t exposureLocation = 0;
    int32_t bloomCutoffLocation = 0;
    int32_t flashLocation = 0;
    int32_t vignetteLocation = 0;
    TrackHandle* fadeTrack = nullptr;
    TrackHandle* bloomDryTrack = nullptr;
    TrackHandle* bloomWetTrack = nullptr;
    TrackHandle* exposureTrack = nullptr;
    TrackHandle* bloomCutoffTrack = nullptr;
    TrackHandle* flashTrack = nullptr;
    TrackHandle* vignetteTrack = nullptr;
    ShaderProgram highPassProgram;
    ShaderProgram blurHorizontalProgram;
    ShaderProgram blurVerticalProgram;
    ShaderProgram mixProgram;

private:
    // One source texture through a program into a target; the high pass
    // also gets "BloomCutoff" from the given track.
    void SinglePass(RenderTarget& source, RenderTarget& target, ShaderProgram& pass,
                    int32_t samplerLocation, float time, const TrackHandle* cutoff);
    void DrawQuad();
    // "TexSampler" of each single-source program (its own location, so the
    // upload never lands on another program's uniform).
    int32_t copySamplerLocation = -1;
    int32_t highPassSamplerLocation = -1;
    int32_t blurHSamplerLocation = -1;
    int32_t blurVSamplerLocation = -1;
};
